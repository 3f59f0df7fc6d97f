#include "tests/support/scripted_run.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <sstream>

#include "tests/support/child_process.h"

namespace plexa::test {

bool ScriptedRunResult::Exited(int code) const {
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

std::vector<std::string> ScriptedRunResult::Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : log)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

ScriptedRun::ScriptedRun(std::string program) : program_(std::move(program)) {
    for (const char* folder : {"home", "config", "data", "cache", "runtime"})
        mkdir(dir_.file(folder).c_str(), 0700);
}

std::vector<std::string> ScriptedRun::Environment() const {
    std::vector<std::string> entries = extra_;
    const std::vector<std::string> own = {"QT_QPA_PLATFORM=offscreen",
            "HOME=" + dir_.file("home"),
            "XDG_CONFIG_HOME=" + dir_.file("config"),
            "XDG_DATA_HOME=" + dir_.file("data"),
            "XDG_CACHE_HOME=" + dir_.file("cache"),
            "XDG_RUNTIME_DIR=" + dir_.file("runtime"),
            "PLEXA_TEST_SCRIPT=" + dir_.file("script"),
            "PLEXA_TEST_SCRIPT_LOG=" + dir_.file("script.log")};
    for (const std::string& entry : own) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool given = false;
        for (const std::string& e : extra_) given = given || e.rfind(name, 0) == 0;
        if (!given) entries.push_back(entry);
    }
    return entries;
}

ScriptedRunResult ScriptedRun::Run(const std::string& script,
                                   const std::vector<std::string>& arguments,
                                   const std::string& workingFolder, std::chrono::seconds limit) {
    ScriptedRunResult result;
    std::remove(dir_.file("script.log").c_str());
    if (!WriteFile(dir_.file("script"), script)) return result;
    {
        ChildProcess child(program_, arguments, Environment(), dir_.file("errors"),
                           workingFolder.empty() ? dir_.path() : workingFolder);
        if (child.pid() <= 0) return result;
        result.status = child.Wait(limit);
    }
    std::string log;
    ReadFile(dir_.file("script.log"), log);
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) result.log.push_back(line);
    ReadFile(dir_.file("errors"), result.errors);
    return result;
}

}  // namespace plexa::test
