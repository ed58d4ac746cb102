#pragma once
// A host that records what the core tells the user and answers questions
// from a script.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "document/Host.h"

namespace movigram::test {

struct RecordingHost : Host {
    struct Message {
        std::string caption, text;
        MessageIcon icon;
    };
    std::vector<Message> messages;
    std::vector<std::string> questions;
    std::deque<Answer> answers;  // popped in order; No when empty
    std::vector<std::string> statusTexts;
    std::vector<int> progress;
    std::vector<std::string> recentFiles;
    std::optional<std::string> savePath;
    int gaugeResets = 0;

    void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
        messages.push_back({caption, text, icon});
    }
    Answer ask(const std::string& caption, const std::string& text, Buttons) override {
        questions.push_back(caption + ": " + text);
        if (answers.empty()) return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void showStatus(const std::string& text) override { statusTexts.push_back(text); }
    void setProgress(int percent) override { progress.push_back(percent); }
    void startGaugeReset() override { ++gaugeResets; }
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&) override { return savePath; }
    void addRecentFile(const std::string& path) override { recentFiles.push_back(path); }
};

}  // namespace movigram::test
