#include <QtGlobal>
#include <string>

#include "app/application.h"
#include "job/process_state.h"
#include "platform/crash/crash.h"

int main(int argc, char** argv) {
  crash::Install(argc, argv, "quillmark");
  const std::string program = argc > 0 ? argv[0] : "quillmark";
  crash::WriteAtCrash(job::ErrorLogFileName(program), job::WriteErrorLines);
  TQuillmarkApplication app(argc, argv);
  crash::AddEnvironmentLine(std::string("Qt: ") + qVersion());
  return RunQuillmark(app, program);
}
