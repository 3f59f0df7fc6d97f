// The editor's program: hands the command line, the application's UI template file and the
// start-up hook to the toolkit, which runs the whole life of the application (app/startup.cpp).
#include "app/shell.h"
#include "toolkit/vx_app.h"

int main(int argc, char** argv) {
    return plexa::VXApplicationMain(argc, argv, "views.gui", plexa::AppStartup);
}
