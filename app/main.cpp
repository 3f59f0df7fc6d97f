// The editor's program: hands the command line, the application's UI template file and the
// start-up hook to the toolkit, which runs the whole life of the application.
#include "toolkit/vx_app.h"

namespace {

// Until the shell exists there is nothing to set up: the application runs, takes the documents
// handed to it, and quits through the ordinary quit path.
int32_t AppStartup() { return 1; }

}  // namespace

int main(int argc, char** argv) {
    return plexa::VXApplicationMain(argc, argv, "views.gui", AppStartup);
}
