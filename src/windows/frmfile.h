#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QString>

class QFrame;
class QPushButton;

namespace mixgen {

class DriveList;
class FileList;
class FolderList;
class frmMain;

// The file picker, in two modes told apart by its tag: "1" chooses the output playlist and
// writes it into the main window's output box; any other tag ("2") chooses the player's
// executable, which must exist, and writes it into the player box its caller named. The
// caller prepares captions, pattern, folder and proposed name, then shows it modally. Its
// buttons and its close box hide it, so it keeps its drive and folder for the next use.
class frmFile final : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Tag READ Tag WRITE setTag)

public:
    explicit frmFile(frmMain& main);
    ~frmFile() override;

    QString Tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    // The box that receives the player's executable (the options window's player box).
    void setPlayerBox(QLineEdit* txtWinamp) { m_playerBox = txtWinamp; }

    QFrame* Frame1 = nullptr;
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    FileList* File1 = nullptr;
    QLineEdit* txtFilename = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLineEdit* txtPath = nullptr;

public slots:
    void Form_Activate();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click(const QString& name);
    void txtFilename_LostFocus();
    void cmdSet_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initWindow();
    void initLists();
    void initBoxesAndButtons();
    void initTabOrder();
    void showFolderText();
    // The full path the confirmed name stands for; empty (after its message) when there is none.
    QString playlistPath(const QString& name) const;
    QString playerPath(const QString& name) const;

    frmMain& m_main;
    QPointer<QLineEdit> m_playerBox;
    QString m_tag;
};

// The folder as the picker shows it: with a "/" at its end, and when that is longer than 40
// characters, its first 13 characters, "....." and its last 13.
QString shownFolderText(const QString& folder);

} // namespace mixgen
