// Tavrik_Server_Crypt: the local signing server in the notification area.

#include <chrono>
#include <cstdlib>

#include <QApplication>

#include "app/main_window.h"
#include "app/program.h"
#include "providers/components_zorvik2_token.h"
#include "providers/linked_components.h"

namespace {

// The application object: starts the program and nothing else.
class CTavrik_Crypt_ServerApp {  // NOLINT
 public:
  int Run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    providers::LinkedComponents components;
    app::Program program;
    program.listener_options = app::DefaultListenerOptions();
    program.token_components = &components;
    program.zorvik2_token = std::make_unique<providers::ComponentsZorvik2Token>(components);
    app::CTavrik_Crypt_ServerDlg window(program);
    window.hide();
    window.InitMainWindow();
    const int code = QApplication::exec();
    // A request thread still inside a routine after this long is not waited for.
    if (!program.listener.StopAndWait(std::chrono::milliseconds(3000))) std::quick_exit(code);
    return code;
  }
};

}  // namespace

int main(int argc, char** argv) {
  return CTavrik_Crypt_ServerApp().Run(argc, argv);
}
