#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

// The ampwright-sim program beside the test binary, run as scripts run it:
// its script on standard input, its port linked at a temporary path.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args = {}) {
        std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ampwright-sim";
        link = (std::filesystem::temp_directory_path() / ("ampwright-sim-" + std::to_string(getpid()))).string();
        args.insert(args.begin(), {"ampwright-sim", "--link", link});
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            std::vector<char*> argv;
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        script_ = in[1];
        output_ = fdopen(out[0], "r");
        ready = ReadLine().rfind("port: /dev/", 0) == 0;
    }
    ~SimProcess() {
        Terminate();
        if (output_) std::fclose(output_);
    }
    // Sends a command; `wait` waits until the simulator has carried it out.
    void Send(const std::string& command, bool wait = false) {
        std::string line = command + "\n";
        if (write(script_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ready = false;
        if (wait) Status();
    }
    // Whether the status shows `text` within two seconds.
    bool Shows(const std::string& text) {
        for (int i = 0; i < 20; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
            if (Status().find(text) != std::string::npos) return true;
        return false;
    }
    // The simulator's `status` text, up to its faults line.
    std::string Status() {
        Send("status");
        std::string text, line;
        while (!(line = ReadLine()).empty() && (text += line, line.rfind("faults:", 0) != 0)) {
        }
        return text;
    }
    std::string ReadLine() {
        char buffer[512];
        return output_ && std::fgets(buffer, sizeof buffer, output_) ? buffer : "";
    }
    // Ends the script: the program keeps serving.
    void CloseInput() {
        if (script_ >= 0) close(script_);
        script_ = -1;
    }
    // Stops the program with SIGTERM; its wait status, -1 when not running.
    int Terminate() {
        CloseInput();
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = -1;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    std::string link;
    bool ready = false;

private:
    pid_t pid_ = -1;
    int script_ = -1;
    std::FILE* output_ = nullptr;
};
