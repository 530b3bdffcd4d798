// ostrevin: the Japanese-language window over the conversion core.
#include <csignal>
#include <new>
#include <string>
#include <vector>

#include "app/converter_app.h"
#include "app/guarded_application.h"

int main(int argc, char** argv) {
  // A file-size limit must show as EFBIG on the write, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // The arguments as the file system's bytes, before Qt decodes them.
  std::vector<std::string> arguments(argv, argv + argc);
  ostrevin::app::GuardedApplication application(argc, argv);
  try {
    ostrevin::app::ConverterApp app(std::move(arguments));
    return app.Run();
  } catch (const std::bad_alloc&) {
    ostrevin::app::GuardedApplication::ShowOutOfMemory();
    return 2;
  }
}
