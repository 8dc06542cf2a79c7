// elevate PROGRAM [ARGUMENT...]: runs the program with administrator rights,
// directly when already root, otherwise through pkexec (which asks the
// desktop's authentication agent). Exits with the program's status, or 127
// when it cannot be started.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <QStandardPaths>
#include <QString>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: elevate PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  if (geteuid() == 0) {
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    return 127;
  }
  // pkexec runs programs by their full path only; find it the way a shell would.
  const QString found = QStandardPaths::findExecutable(QString::fromLocal8Bit(argv[1]));
  if (found.isEmpty()) {
    std::fprintf(stderr, "elevate: %s: not found\n", argv[1]);
    return 127;
  }
  std::string program = found.toLocal8Bit().toStdString();
  std::string pkexec = "pkexec";
  std::vector<char*> arguments{pkexec.data(), program.data()};
  for (int i = 2; i < argc; ++i) arguments.push_back(argv[i]);
  arguments.push_back(nullptr);
  execvp(arguments[0], arguments.data());
  std::perror("elevate: pkexec");
  return 127;
}
