// The converter's program: names the application and its strings table, then runs the command
// line (converter/batch.h): a batch run, a printed answer, or the application on the toolkit.
#include "converter/batch.h"
#include "foundation/localized.h"
#include "platform/services_platform.h"

int main(int argc, char** argv) {
    plexa::PlatformSetApplicationIdentity("PlexaConverter", "Plexa Document Converter",
                                          "com.orvix.PlexaConverter");
    plexa::SetAppStringsTableName("Converter");
    return plexa::ConverterMain(argc, argv);
}
