// The converter's program: names the application, its strings table and its UI template file,
// and hands its start-up hook to the toolkit, which runs the whole life of the application.
#include "converter/app.h"
#include "foundation/localized.h"
#include "platform/services_platform.h"
#include "toolkit/vx_app.h"

int main(int argc, char** argv) {
    plexa::PlatformSetApplicationIdentity("PlexaConverter", "Plexa Document Converter",
                                          "com.orvix.PlexaConverter");
    plexa::SetAppStringsTableName("Converter");
    return plexa::VXApplicationMain(argc, argv, "converter.gui", plexa::AppStartup);
}
