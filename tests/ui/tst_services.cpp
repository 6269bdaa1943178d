// The production services behind the window's questions: the message boxes (caption,
// icon, buttons, answers) and the file choosers (filter, initial name, default extension,
// no overwrite question of their own).
#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <functional>
#include <utility>

#include "ui/Services.h"

namespace {

// Runs inspect on the modal window that the next call opens.
template <class Dialog>
void WhenOpen(std::function<void(Dialog*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY2(dialog != nullptr, "no modal window of the expected kind");
        inspect(dialog);
    });
}

QLineEdit* FileNameEdit(QFileDialog* dialog) {
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// The dialog's own Open or Save with name in the file-name field, in folder dir. Should the
// dialog refuse to close, it is cancelled, so a fault shows as a failed comparison instead
// of a hang.
void Choose(QFileDialog* dialog, const QString& dir, const QString& name) {
    dialog->setDirectory(dir);
    dialog->selectFile(name);
    static_cast<QDialog*>(dialog)->accept();
    if (dialog->isVisible()) dialog->reject();
}

}  // namespace

class ServicesTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // The file dialogs keep their last folder in the user's settings: keep those in a
        // temporary folder instead of the home directory.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }

  private slots:
    void messageBoxes_data() {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("expectedIcon");
        QTest::addColumn<int>("press");  // the button pressed, 0 for Escape
        QTest::addColumn<int>("answer");
        using B = QMessageBox;
        QTest::newRow("stop") << int(MessageIcon::Stop) << int(MessageButtons::Ok)
                              << int(B::Critical) << int(B::Ok) << int(MessageAnswer::Ok);
        QTest::newRow("information") << int(MessageIcon::Information) << int(MessageButtons::Ok)
                                     << int(B::Information) << int(B::Ok) << int(MessageAnswer::Ok);
        QTest::newRow("exclamation") << int(MessageIcon::Exclamation) << int(MessageButtons::Ok)
                                     << int(B::Warning) << int(B::Ok) << int(MessageAnswer::Ok);
        QTest::newRow("question, yes")
            << int(MessageIcon::Question) << int(MessageButtons::YesNo) << int(B::Question)
            << int(B::Yes) << int(MessageAnswer::Yes);
        QTest::newRow("question, no") << int(MessageIcon::Question) << int(MessageButtons::YesNo)
                                      << int(B::Question) << int(B::No) << int(MessageAnswer::No);
        QTest::newRow("question, escape")
            << int(MessageIcon::Question) << int(MessageButtons::YesNo) << int(B::Question) << 0
            << int(MessageAnswer::No);
        QTest::newRow("exclamation, yes/no")
            << int(MessageIcon::Exclamation) << int(MessageButtons::YesNo) << int(B::Warning)
            << int(B::Yes) << int(MessageAnswer::Yes);
    }
    void messageBoxes() {
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, expectedIcon);
        QFETCH(int, press);
        QFETCH(int, answer);
        const int expectedAnswer = answer;
        QWidget parent;
        parent.show();
        const QString text = QStringLiteral("The file <b>a.tcf</b> already exist.");
        QString title, shownText;
        int shownIcon = -1;
        QMessageBox::StandardButtons shownButtons;
        Qt::TextFormat format = Qt::AutoText;
        QWidget* shownParent = nullptr;
        WhenOpen<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            shownText = box->text();
            shownIcon = box->icon();
            shownButtons = box->standardButtons();
            format = box->textFormat();
            shownParent = box->parentWidget();
            if (press == 0)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(QMessageBox::StandardButton(press))->click();
        });
        const MessageAnswer shownAnswer =
            QtMessageService().Show(&parent, 110, text, MessageIcon(icon), MessageButtons(buttons));
        QCOMPARE(int(shownAnswer), expectedAnswer);
        QCOMPARE(title, QStringLiteral("Tarvex"));
        QCOMPARE(shownText, text);
        QCOMPARE(format, Qt::PlainText);  // a file name is never read as markup
        QCOMPARE(shownIcon, expectedIcon);
        QCOMPARE(shownParent, &parent);
        const QMessageBox::StandardButtons expectedButtons =
            MessageButtons(buttons) == MessageButtons::YesNo
                ? QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No)
                : QMessageBox::StandardButtons(QMessageBox::Ok);
        QCOMPARE(shownButtons, expectedButtons);
    }

    void openChooser() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList filters;
        QString suffix, initialName;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
        QFileDialog::FileMode fileMode = QFileDialog::ExistingFile;
        WhenOpen<QFileDialog>([&](QFileDialog* d) {
            filters = d->nameFilters();
            suffix = d->defaultSuffix();
            mode = d->acceptMode();
            fileMode = d->fileMode();
            QLineEdit* name = FileNameEdit(d);
            QVERIFY(name != nullptr);
            initialName = name->text();
            d->reject();
        });
        QCOMPARE(QtFileChooser().ChooseOpen(nullptr), std::optional<QString>());
        QCOMPARE(filters, QStringList{QStringLiteral("Gyro Files (*.tcf)")});
        QCOMPARE(suffix, QStringLiteral("tcf"));
        QCOMPARE(initialName, QStringLiteral("*.tcf"));
        QCOMPARE(mode, QFileDialog::AcceptOpen);
        // A name that does not exist is accepted; the command reports it cannot be read.
        QCOMPARE(fileMode, QFileDialog::AnyFile);

        WhenOpen<QFileDialog>(
            [&](QFileDialog* d) { Choose(d, dir.path(), QStringLiteral("missing")); });
        QCOMPARE(QtFileChooser().ChooseOpen(nullptr),
                 std::optional<QString>(dir.filePath(QStringLiteral("missing.tcf"))));
    }

    // Given a folder (the backups), Open starts there in Qt's own chooser, newest first.
    void openChooserInAFolder() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDateTime now = QDateTime::currentDateTime();
        for (const auto& [name, age] :
             {std::pair{"z-newer.tcf", 60}, std::pair{"a-older.tcf", 3600}}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(now.addSecs(-age), QFileDevice::FileModificationTime));
        }
        QString shownDir;
        QStringList rows;
        bool ownChooser = false;
        WhenOpen<QFileDialog>([&](QFileDialog* d) {
            shownDir = d->directory().absolutePath();
            ownChooser = d->testOption(QFileDialog::DontUseNativeDialog);
            auto* view = d->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(view != nullptr);
            // The folder is read in the background.
            QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 2);
            // ... and sorted once it has been read, newest first: under load the rows can
            // be counted before the sort has run.
            QTRY_COMPARE(view->model()->index(0, 0, view->rootIndex()).data().toString(),
                         QStringLiteral("z-newer.tcf"));
            for (int row = 0; row < 2; ++row)
                rows << view->model()->index(row, 0, view->rootIndex()).data().toString();
            // The user picks the second one in the list.
            view->setCurrentIndex(view->model()->index(1, 0, view->rootIndex()));
            static_cast<QDialog*>(d)->accept();
            if (d->isVisible()) d->reject();
        });
        QCOMPARE(QtFileChooser().ChooseOpen(nullptr, dir.path()),
                 std::optional<QString>(dir.filePath(QStringLiteral("a-older.tcf"))));
        QCOMPARE(shownDir, dir.path());
        QVERIFY(ownChooser);
        QCOMPARE(rows, (QStringList{"z-newer.tcf", "a-older.tcf"}));
    }

    // Save As takes an existing file's name without asking: the command asks itself.
    void saveAsChooser() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile existing(dir.filePath(QStringLiteral("gyro.tcf")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        QStringList filters;
        QString suffix, initialName;
        bool confirms = true;
        WhenOpen<QFileDialog>([&](QFileDialog* d) {
            filters = d->nameFilters();
            suffix = d->defaultSuffix();
            confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
            initialName = FileNameEdit(d)->text();
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
            if (confirms) {
                d->reject();  // its own question would block here
                return;
            }
            Choose(d, dir.path(), QStringLiteral("gyro.tcf"));
        });
        const std::optional<QString> chosen = QtFileChooser().ChooseSaveAs(nullptr);
        QCOMPARE(chosen, std::optional<QString>(existing.fileName()));
        QCOMPARE(filters, QStringList{QStringLiteral("Gyro Files (*.tcf)")});
        QCOMPARE(suffix, QStringLiteral("tcf"));
        QCOMPARE(initialName, QStringLiteral("*.tcf"));
        QVERIFY(!confirms);
        QVERIFY(QApplication::activeModalWidget() == nullptr);  // no question was left open

        // A new name without extension gets "tcf".
        WhenOpen<QFileDialog>(
            [&](QFileDialog* d) { Choose(d, dir.path(), QStringLiteral("fresh")); });
        QCOMPARE(QtFileChooser().ChooseSaveAs(nullptr),
                 std::optional<QString>(dir.filePath(QStringLiteral("fresh.tcf"))));
    }
};

QTEST_MAIN(ServicesTest)
#include "tst_services.moc"
