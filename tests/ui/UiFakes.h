// Test doubles for the window's services: a message service that records every box and
// answers from a queue, and a file chooser that returns queued choices.
#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <optional>
#include <vector>

#include "ui/Services.h"

struct ShownMessage {
    int id = 0;
    QString text;
    MessageIcon icon = MessageIcon::Stop;
    MessageButtons buttons = MessageButtons::Ok;
};

class FakeMessageService : public MessageService {
  public:
    // Answers are taken from the front of the queue; when it is empty, an OK box answers
    // Ok and a Yes/No box answers defaultYesNo.
    std::deque<MessageAnswer> answers;
    MessageAnswer defaultYesNo = MessageAnswer::No;
    std::vector<ShownMessage> shown;
    int beeps = 0;

    MessageAnswer Show(QWidget*, int id, const QString& text, MessageIcon icon,
                       MessageButtons buttons) override {
        shown.push_back({id, text, icon, buttons});
        if (!answers.empty()) {
            MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::YesNo ? defaultYesNo : MessageAnswer::Ok;
    }
    void Beep() override { ++beeps; }

    // The ids shown, in order.
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const auto& m : shown) ids.push_back(m.id);
        return ids;
    }
    const ShownMessage* Last() const { return shown.empty() ? nullptr : &shown.back(); }
    void Clear() {
        shown.clear();
        beeps = 0;
    }
};

class FakeFileChooser : public FileChooser {
  public:
    // Each call takes the front entry; an empty queue (or a nullopt entry) means Cancel.
    std::deque<std::optional<QString>> openChoices;
    std::deque<std::optional<QString>> saveAsChoices;
    int openCalls = 0;
    int saveAsCalls = 0;
    QString openFolder;  // the folder the last Open started in; empty: the chooser's own

    std::optional<QString> ChooseOpen(QWidget*, const QString& folder) override {
        ++openCalls;
        openFolder = folder;
        return Take(openChoices);
    }
    std::optional<QString> ChooseSaveAs(QWidget*) override {
        ++saveAsCalls;
        return Take(saveAsChoices);
    }

  private:
    static std::optional<QString> Take(std::deque<std::optional<QString>>& queue) {
        if (queue.empty() || !queue.front().has_value()) {
            if (!queue.empty()) queue.pop_front();
            return std::nullopt;
        }
        const QString choice = *queue.front();
        queue.pop_front();
        return choice;
    }
};

// The window keeps its recent list in the user's settings (and the file dialogs their last
// folder), and every Write a backup in the user's state folder: a test process keeps both in
// folders of its own, not in the home directory. Call
// before the first QSettings is made, from initMain; child processes inherit the folder.
inline void IsolateUserSettings() {
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    // Every Write keeps a backup in the state folder: a scratch one, never the user's.
    static QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
}
