// Runs a Python oracle script from tests/oracle/ over a batch of requests, one per line,
// and reads one answer line per request. False when python3 is missing or the script
// fails, so that the test can skip.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline bool ask_oracle_script(const std::string& script, const std::vector<std::string>& requests,
                              std::vector<std::string>& answers) {
    const char* python = "/usr/bin/python3";
    if (access(python, X_OK) != 0) return false;
    char in_name[] = "/tmp/ruk_oracle_XXXXXX";
    int fd = mkstemp(in_name);
    if (fd < 0) return false;
    close(fd);
    {
        std::ofstream in(in_name);
        for (const std::string& r : requests) in << r << '\n';
    }
    std::string cmd = std::string(python) + " " RUK_SOURCE_DIR "/tests/oracle/" + script + " " +
                      in_name;
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[65536];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = p ? pclose(p) : -1;
    std::remove(in_name);
    if (status != 0) return false;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) answers.push_back(line);
    return answers.size() == requests.size();
}
