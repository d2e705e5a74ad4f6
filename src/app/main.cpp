#include "app/application.h"

int main(int argc, char** argv) {
  TQuillmarkApplication app(argc, argv);
  return RunQuillmark(app, argc > 0 ? argv[0] : "quillmark");
}
