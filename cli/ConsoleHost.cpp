#include "ConsoleHost.h"

#include <chrono>
#include <iostream>
#include <thread>
#include <string>

#include "engine/Texts.h"

namespace cli {

engine::Answer ConsoleHost::ShowMessage(const std::string& text, const std::string& caption,
                                        engine::Buttons buttons) {
    ClearBar();
    if (!caption.empty()) std::cerr << "[" << caption << "] ";
    std::cerr << text << "\n";
    if (buttons == engine::Buttons::Ok) return engine::Answer::Ok;

    if (!interactive_) {
        std::cerr << (preset_ == engine::Answer::Ok ? "-> OK\n" : "-> Cancel\n");
        return preset_;
    }
    for (;;) {
        std::cerr << "OK or Cancel? [o/c] " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) return engine::Answer::Cancel;
        if (line == "o" || line == "O" || line == "ok" || line == "OK") return engine::Answer::Ok;
        if (line == "c" || line == "C" || line == "cancel" || line == "Cancel") {
            return engine::Answer::Cancel;
        }
    }
}

void ConsoleHost::SetProgress(int percent) {
    percent_ = percent;
    DrawBar();
}

void ConsoleHost::ShowProgress(bool visible) {
    if (!visible) ClearBar();
}

void ConsoleHost::SetProgressText(const std::string& text) {
    status_ = text;
    for (char& c : status_) {
        if (c == '\n') c = ' ';
    }
    DrawBar();
}

void ConsoleHost::DrawBar() {
    if (!showProgress_) return;
    constexpr int kWidth = 30;
    const int filled = percent_ * kWidth / 100;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] "
              << percent_ << "%  " << status_ << "   " << std::flush;
    barShown_ = true;
}

void ConsoleHost::ClearBar() {
    if (!barShown_) return;
    std::cerr << "\r" << std::string(79, ' ') << "\r" << std::flush;
    barShown_ = false;
}

engine::Host::FileExists ConsoleHost::AskFileExists(std::string& path) {
    ClearBar();
    std::cerr << path << " already exists.\n";
    if (!interactive_) {
        const bool overwrite = preset_ == engine::Answer::Ok;
        std::cerr << (overwrite ? "-> overwritten\n" : "-> kept\n");
        return overwrite ? FileExists::Overwrite : FileExists::Stop;
    }
    std::cerr << "Type a new full path, or press Enter to overwrite: " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return FileExists::Stop;
    if (line.empty()) return FileExists::Overwrite;
    path = line;
    return FileExists::Rename;
}

void ConsoleHost::WaitForWorker(const std::function<bool()>& finished) {
    while (!finished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ConsoleHost::ShowSplitNotice() {
    ClearBar();
    std::cout << texts::kNoticeLine1 << "\n"
              << texts::kNoticeLine2 << "\n"
              << texts::kNoticeLine3 << "\n";
}

}  // namespace cli
