// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/child.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace hv::test {

std::string built_program(const std::string& name) {
  return std::string(HV_BINARY_DIR) + "/bin/" + name;
}

std::string source_file(const std::string& relative) {
  return std::string(HV_SOURCE_DIR) + "/" + relative;
}

ChildResult run_child(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env,
                      const std::string& cwd) {
  // Everything the child needs is built before fork: after it, only exec-safe calls.
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [key, value] : env) replaced |= entry.rfind(key + "=", 0) == 0;
    if (!replaced) env_text.push_back(entry);
  }
  for (const auto& [key, value] : env) env_text.push_back(key + "=" + value);
  std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  ChildResult result{-1, {}};
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.output.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace hv::test
