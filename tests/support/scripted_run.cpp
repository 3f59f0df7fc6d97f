#include "tests/support/scripted_run.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>
#include <thread>

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
            "PLEXA_TEST_SCRIPT_LOG=" + dir_.file("script.log"),
            "PLEXA_TEST_SCRIPT_LIMIT=480"};
    for (const std::string& entry : own) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool given = false;
        for (const std::string& e : extra_) given = given || e.rfind(name, 0) == 0;
        if (!given) entries.push_back(entry);
    }
    return entries;
}

ScriptedRun::~ScriptedRun() = default;

std::string ScriptedRun::CopyFixture(const std::string& relative) const {
    const std::string source = SourcePath(relative);
    const std::string target = dir_.file(source.substr(source.find_last_of('/') + 1));
    std::error_code error;
    std::filesystem::copy(source, target, std::filesystem::copy_options::recursive, error);
    return error ? std::string() : target;
}

bool ScriptedRun::Start(const std::string& script, const std::vector<std::string>& arguments,
                        const std::string& workingFolder) {
    child_.reset();
    std::remove(dir_.file("script.log").c_str());
    if (!WriteFile(dir_.file("script"), script)) return false;
    child_ = std::make_unique<ChildProcess>(program_, arguments, Environment(), dir_.file("errors"),
                                            workingFolder.empty() ? dir_.path() : workingFolder);
    return child_->pid() > 0;
}

std::vector<std::string> ScriptedRun::Log() const {
    std::string text;
    ReadFile(dir_.file("script.log"), text);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool ScriptedRun::WaitForLog(const std::string& line) {
    for (int i = 0; i < 48000 && child_ && child_->Running(); ++i) {
        for (const std::string& l : Log())
            if (l == line) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int ScriptedRun::pid() const { return child_ ? child_->pid() : -1; }

ScriptedRunResult ScriptedRun::Finish(std::chrono::seconds limit) {
    ScriptedRunResult result;
    if (!child_ || child_->pid() <= 0) return result;
    result.status = child_->Wait(limit);
    child_.reset();
    result.log = Log();
    ReadFile(dir_.file("errors"), result.errors);
    return result;
}

ScriptedRunResult ScriptedRun::Run(const std::string& script,
                                   const std::vector<std::string>& arguments,
                                   const std::string& workingFolder, std::chrono::seconds limit) {
    if (!Start(script, arguments, workingFolder)) return {};
    return Finish(limit);
}

}  // namespace plexa::test
