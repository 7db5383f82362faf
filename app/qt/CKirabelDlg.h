#pragma once

#include "app/DrillWindow.h"
#include "app/WindowCommands.h"
#include "controls/qt/CAnswerEdit.h"
#include "controls/qt/CColorLabel.h"
#include "res/Layout.h"
#include "session/QuizSession.h"

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QString>

#include <functional>
#include <string>

class QCloseEvent;
class QContextMenuEvent;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QMimeData;
class QMenu;
class QMenuBar;
class DialogUnits;
class QPaintEvent;
class QSessionManager;

// The main window: the question, the answer box, the two marks and the
// next-question button under a File menu. It turns each user action into
// session operations and lets the session drive its controls. Esc and Enter
// never close it; every way of closing saves first. A file dropped on it
// opens as File > open does.
class CKirabelDlg : public QDialog, public DrillWindow {
public:
    explicit CKirabelDlg(QWidget* parent = nullptr);
    CKirabelDlg(const CKirabelDlg&) = delete;
    CKirabelDlg& operator=(const CKirabelDlg&) = delete;
    ~CKirabelDlg() override;

    void SetQuestionText(const std::string& text) override;
    void SetAnswerText(const std::string& text) override;
    void SetAnswerTextColor(Color color) override;
    void SetNumberText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetAnswerBoxText(const std::string& text) override;
    std::string GetAnswerBoxText() override;
    void EnableAnswerBox(bool enable) override;
    void EnableNextButton(bool enable) override;
    void ShowRightMark(bool show) override;
    void ShowWrongMark(bool show) override;
    void FocusAnswerBox() override;
    void FocusNextButton() override;
    void SetAnswerDescription(const std::string& text) override;
    void SetHintText(const std::string& text) override;
    void SetAnswerBoxDescription(const std::string& text) override;
    void SetNextButtonDescription(const std::string& text) override;

    // The dialogs the window runs, replaceable so that tests can answer them
    // without a nested event loop.
    std::string ChooseSetFile() override;
    void ShowWarning(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void ClearFocus() override;

    // Says so when the system lacks something the program needs.
    void CheckSystem() { m_commands.CheckSystem(); }

    // Esc reaches here; it does nothing.
    void reject() override;

    // The program is told to end (a signal, or the close at a logout): saves
    // without asking, ends any box or menu open over the window unanswered,
    // then the modal run.
    void EndSession();
    bool HasEnded() const { return m_ended; }
    // The session manager's request to save before a logout.
    void CommitData(QSessionManager& manager);
    // Its decision: saves; after a failed save asks the learner only when
    // `mayAsk` says the session manager lets the program ask. False when the
    // learner keeps the window (the logout is to be cancelled); otherwise the
    // close that follows goes through without asking again.
    bool CommitSessionData(const std::function<bool()>& mayAsk);

protected:
    void OnInitDialog();
    void OnOK();
    void OnCancel();
    void OnNextButton();
    void OnFileOpenSet();
    void OnDropSet(const std::string& path);
    void OnFileExit();
    void OnClose();
    void OnAboutBox();

    virtual void RunAboutBox();

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    QLabel m_wrongMark;
    QLabel m_rightMark;
    CColorLabel m_numberLabel;
    CColorLabel m_statusLabel;
    QPushButton m_nextButton;
    CColorLabel m_answerLabel;
    CColorLabel m_hintLabel;
    CAnswerEdit m_answerEdit;
    CColorLabel m_questionLabel;
    QIcon m_icon;
    QPixmap m_nextBitmap;
    // The window's own menu: where the window system has no menu to extend,
    // it opens on the window's background.
    QMenu* m_windowMenu = nullptr;
    QuizSession m_session;
    WindowCommands m_commands{m_session, *this};
    bool m_ended = false;

private:
    void CreateControls();
    QMenuBar* CreateMenuBar();
    // The member that a control of the layout is; null for the window's
    // children alone (the frames, the number marker).
    QWidget* MemberOf(layout::mainWindow::Control control);
    // The widget of a control of the layout, made ready for its kind.
    QWidget* MakeControl(const layout::mainWindow::Placement& placement);
    // Creates, places and stacks the layout's controls below the menu bar.
    void PlaceControls(const DialogUnits& units, int top);
    // Saves, then ends the modal run, unless the save fails and the learner
    // keeps the window.
    void SaveAndEnd();
    // The file a drop would open: the first one dropped, when it is a file
    // (not a folder) and no box or dialog is up over the window; else empty.
    std::string DroppedSet(const QMimeData* data) const;
};
