#include "app/qt/CKirabelDlg.h"

#include "app/qt/CAboutBox.h"
#include "app/qt/DialogUnits.h"
#include "res/Colors.h"
#include "res/Layout.h"
#include "res/Strings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QMimeData>
#include <QPainter>
#include <QSessionManager>
#include <QStringList>
#include <QUrl>

#include <cstddef>
#include <iterator>
#include <utility>

namespace {

// A window of its own (with a task-bar button) that can be minimised but
// neither maximised nor resized.
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// Qt announces every call, even of the same text: only a change is news.
void Describe(QWidget& widget, const std::string& text) {
    const QString description = Text(text);
    if (widget.accessibleDescription() != description) {
        widget.setAccessibleDescription(description);
    }
}

} // namespace

// The icon through QPixmap: its cache has the picture decoded already.
CKirabelDlg::CKirabelDlg(QWidget* parent)
    : QDialog(parent, kWindowFlags), m_wrongMark(this), m_rightMark(this), m_numberLabel(this),
      m_statusLabel(this), m_nextButton(this), m_answerLabel(this), m_hintLabel(this),
      m_answerEdit(this), m_questionLabel(this),
      m_icon(QPixmap(QString::fromLatin1(layout::kIconImage))) {
    connect(&m_nextButton, &QPushButton::clicked, this, [this] { OnNextButton(); });
    CreateControls();
    OnInitDialog();
}

CKirabelDlg::~CKirabelDlg() {
    QuizSession::SetOwner(nullptr);
}

void CKirabelDlg::CreateControls() {
    namespace win = layout::mainWindow;
    setWindowTitle(Text(strings::kAppName));
    QMenuBar* menuBar = CreateMenuBar();
    const int top = menuBar->sizeHint().height();
    const DialogUnits units(font());
    PlaceControls(units, top);

    // What a screen reader calls the controls that show no text; the labels
    // are named by their texts.
    m_answerEdit.setAccessibleName(Text(strings::kAnswerBoxName));
    m_nextButton.setAccessibleName(Text(strings::kNextButtonName));
    m_rightMark.setAccessibleName(Text(strings::kRightName));
    m_wrongMark.setAccessibleName(Text(strings::kWrongName));

    // Where Enter goes is decided in keyPressEvent, not by a default button.
    m_nextButton.setAutoDefault(false);
    m_nextButton.setDefault(false);

    setFixedSize(units.ToPixels(win::kWidth, win::kHeight) + QSize(0, top));
    setAcceptDrops(true);
    menuBar->setGeometry(0, 0, width(), top);

    m_windowMenu = new QMenu(this);
    connect(m_windowMenu->addAction(Text(strings::kAboutItem)), &QAction::triggered, this,
            [this] { OnAboutBox(); });
}

QMenuBar* CKirabelDlg::CreateMenuBar() {
    // The menu bar stays inside the window (no global menu) and keeps the
    // system colours over the black background.
    auto* menuBar = new QMenuBar(this);
    menuBar->setNativeMenuBar(false);
    QMenu* fileMenu = menuBar->addMenu(Text(strings::kFileMenu));
    connect(fileMenu->addAction(Text(strings::kOpenSetItem)), &QAction::triggered, this,
            [this] { OnFileOpenSet(); });
    connect(fileMenu->addAction(Text(strings::kExitItem)), &QAction::triggered, this,
            [this] { OnFileExit(); });
    return menuBar;
}

QWidget* CKirabelDlg::MemberOf(layout::mainWindow::Control control) {
    using Control = layout::mainWindow::Control;
    const std::pair<Control, QWidget*> members[] = {
        {Control::AnswerEdit, &m_answerEdit},   {Control::QuestionLabel, &m_questionLabel},
        {Control::AnswerLabel, &m_answerLabel}, {Control::HintLabel, &m_hintLabel},
        {Control::NextButton, &m_nextButton},   {Control::NumberLabel, &m_numberLabel},
        {Control::StatusLabel, &m_statusLabel}, {Control::RightMark, &m_rightMark},
        {Control::WrongMark, &m_wrongMark},
    };
    for (const auto& [member, widget] : members) {
        if (member == control) {
            return widget;
        }
    }
    return nullptr;
}

QWidget* CKirabelDlg::MakeControl(const layout::mainWindow::Placement& placement) {
    QWidget* member = MemberOf(placement.control);
    switch (placement.kind) {
    case layout::mainWindow::ControlKind::Frame: {
        // Draws only its outline, over the labels' fill; clicks go through to
        // what it encloses.
        auto* frame = new QFrame(this);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        return frame;
    }
    case layout::mainWindow::ControlKind::Picture: {
        auto* label = member ? qobject_cast<QLabel*>(member) : new QLabel(this);
        label->setPixmap(QPixmap(QString::fromLatin1(placement.picture.image)));
        return label;
    }
    case layout::mainWindow::ControlKind::LineLabel:
        qobject_cast<QLabel*>(member)->setWordWrap(false);
        return member;
    default:
        return member;
    }
}

void CKirabelDlg::PlaceControls(const DialogUnits& units, int top) {
    namespace win = layout::mainWindow;
    QList<QWidget*> frames;
    // Each control raised in turn lies above those before it.
    for (const win::Placement& placement : win::kControls) {
        QWidget* widget = MakeControl(placement);
        widget->setGeometry(units.ToPixels(placement.rect).translated(0, top));
        widget->raise();
        widget->setEnabled(placement.enabled);
        if (!placement.shown) {
            widget->hide();
        }
        if (placement.kind == win::ControlKind::Picture) { // the size of its image
            widget->resize(qobject_cast<QLabel*>(widget)->pixmap().size());
        } else if (placement.kind == win::ControlKind::Frame) {
            frames << widget;
        }
    }
    // Over the answer's lower lines, as on Windows, where the earlier control
    // lies above.
    m_hintLabel.raise();
    for (QWidget* frame : frames) {
        frame->raise();
    }
    for (std::size_t i = 1; i < std::size(win::kTabOrder); ++i) {
        setTabOrder(MemberOf(win::kTabOrder[i - 1]), MemberOf(win::kTabOrder[i]));
    }
}

void CKirabelDlg::OnInitDialog() {
    setWindowIcon(m_icon);
    m_answerEdit.setFocus(Qt::OtherFocusReason);

    namespace win = layout::mainWindow;
    const auto setUp = [](CColorLabel& label, const LabelFont& font, const char* text) {
        label.SetAppearance(font.height, colors::kBlack, colors::kWhite);
        if (font.bold) {
            label.SetBold(true);
        }
        label.SetText(text);
    };
    setUp(m_questionLabel, win::kQuestionFont, strings::kQuestionStart);
    setUp(m_answerLabel, win::kAnswerFont, strings::kAnswerStart);
    setUp(m_numberLabel, win::kNumberFont, strings::kNumberStart);
    setUp(m_statusLabel, win::kStatusFont, "");
    setUp(m_hintLabel, win::kHintFont, "");

    m_nextBitmap = QPixmap(QString::fromLatin1(layout::kNextQuestionImage));
    m_nextButton.setIcon(QIcon(m_nextBitmap));
    m_nextButton.setIconSize(m_nextBitmap.size());

    m_commands.StopAsking();
    QuizSession::SetOwner(this);
}

void CKirabelDlg::ClearFocus() {
    // Disabling the focused box may have handed the focus on; nothing is to hold it.
    if (QWidget* focused = focusWidget()) {
        focused->clearFocus();
    }
}

void CKirabelDlg::SetQuestionText(const std::string& text) {
    m_questionLabel.SetText(text);
}

void CKirabelDlg::SetAnswerText(const std::string& text) {
    m_answerLabel.SetText(text);
}

// The hint belongs to the answer line and takes its colour.
void CKirabelDlg::SetAnswerTextColor(Color color) {
    m_answerLabel.SetTextColor(color);
    m_hintLabel.SetTextColor(color);
}

void CKirabelDlg::SetHintText(const std::string& text) {
    m_hintLabel.SetText(text);
    m_hintLabel.setVisible(!text.empty());
}

void CKirabelDlg::SetNumberText(const std::string& text) {
    m_numberLabel.SetText(text);
}

void CKirabelDlg::SetStatusText(const std::string& text) {
    m_statusLabel.SetText(text);
}

void CKirabelDlg::SetAnswerBoxText(const std::string& text) {
    m_answerEdit.SetText(text);
}

std::string CKirabelDlg::GetAnswerBoxText() {
    return m_answerEdit.GetText();
}

void CKirabelDlg::EnableAnswerBox(bool enable) {
    m_answerEdit.setEnabled(enable);
}

void CKirabelDlg::EnableNextButton(bool enable) {
    m_nextButton.setEnabled(enable);
}

void CKirabelDlg::ShowRightMark(bool show) {
    m_rightMark.setVisible(show);
}

void CKirabelDlg::ShowWrongMark(bool show) {
    m_wrongMark.setVisible(show);
}

void CKirabelDlg::FocusAnswerBox() {
    m_answerEdit.setFocus(Qt::OtherFocusReason);
}

void CKirabelDlg::FocusNextButton() {
    m_nextButton.setFocus(Qt::OtherFocusReason);
}

void CKirabelDlg::SetAnswerDescription(const std::string& text) {
    Describe(m_answerLabel, text);
}

void CKirabelDlg::SetAnswerBoxDescription(const std::string& text) {
    Describe(m_answerEdit, text);
}

void CKirabelDlg::SetNextButtonDescription(const std::string& text) {
    Describe(m_nextButton, text);
}

void CKirabelDlg::reject() {
    OnCancel();
}

void CKirabelDlg::OnOK() {
    m_commands.CheckAnswer();
}

void CKirabelDlg::OnCancel() {}

void CKirabelDlg::OnNextButton() {
    m_commands.NextQuestion();
}

void CKirabelDlg::OnFileOpenSet() {
    m_commands.OpenSet();
}

void CKirabelDlg::OnDropSet(const std::string& path) {
    m_commands.OpenSet(path);
}

void CKirabelDlg::OnFileExit() {
    SaveAndEnd();
}

void CKirabelDlg::OnClose() {
    // The session manager closes the window at a logout, after its request to save.
    if (m_commands.IsSessionEnding()) {
        EndSession();
        return;
    }
    SaveAndEnd();
}

void CKirabelDlg::OnAboutBox() {
    RunAboutBox();
}

void CKirabelDlg::SaveAndEnd() {
    if (m_commands.MayClose()) {
        // The dialog's own OK ending, not the virtual OnOK, which checks an answer.
        QDialog::accept();
    }
}

void CKirabelDlg::EndSession() {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_commands.SaveAtSessionEnd();
    // Nobody may be there to answer: a menu, a box or the file dialog over the
    // window goes unanswered, and the code that opened it sees it cancelled.
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!popup->close()) {
            break;
        }
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog != this && dialog->isVisible()) {
            dialog->reject();
        }
    }
    QDialog::accept();
}

void CKirabelDlg::CommitData(QSessionManager& manager) {
    if (!CommitSessionData([&manager] { return manager.allowsInteraction(); })) {
        manager.cancel();
    }
    manager.release();
}

bool CKirabelDlg::CommitSessionData(const std::function<bool()>& mayAsk) {
    // The session manager takes a refusal only from a program that asked.
    return m_commands.QueryEndSession(mayAsk, true) == SessionEndAnswer::Allow;
}

std::string CKirabelDlg::ChooseSetFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(Text(strings::kSetFileFilter));
    dialog.setDefaultSuffix(Text(strings::kSetFileSuffix));
    dialog.selectFile(Text(strings::kSetFilePattern));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::string();
    }
    // The file system's own bytes, as every other program gets them.
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

void CKirabelDlg::ShowWarning(const std::string& text) {
    QMessageBox::warning(this, QCoreApplication::applicationName(), Text(text), QMessageBox::Ok);
}

bool CKirabelDlg::AskYesNo(const std::string& text) {
    return QMessageBox::warning(this, QCoreApplication::applicationName(), Text(text),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void CKirabelDlg::RunAboutBox() {
    CAboutBox box(this);
    box.exec();
}

void CKirabelDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        OnCancel();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The answer box passes Enter on; the focused button takes it itself
        // only as a default button, which it never is.
        if (focusWidget() == &m_nextButton) {
            m_nextButton.click();
        } else {
            OnOK();
        }
        break;
    case Qt::Key_F1:
        OnAboutBox();
        break;
    case Qt::Key_F4:
        if (event->modifiers() == Qt::AltModifier) {
            close();
            break;
        }
        [[fallthrough]];
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CKirabelDlg::closeEvent(QCloseEvent* event) {
    // Ending the run hides the window; a kept window refuses the close.
    event->ignore();
    OnClose();
}

void CKirabelDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_windowMenu->exec(event->globalPos());
}

std::string CKirabelDlg::DroppedSet(const QMimeData* data) const {
    const QWidget* modal = QApplication::activeModalWidget();
    if (m_ended || (modal != nullptr && modal != this) || data == nullptr || !data->hasUrls()) {
        return std::string();
    }
    const QUrl first = data->urls().value(0);
    if (!first.isLocalFile() || !QFileInfo(first.toLocalFile()).isFile()) {
        return std::string();
    }
    // The file system's own bytes, as the open dialog gives them.
    return QFile::encodeName(first.toLocalFile()).toStdString();
}

void CKirabelDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedSet(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void CKirabelDlg::dropEvent(QDropEvent* event) {
    std::string path = DroppedSet(event->mimeData());
    if (path.empty()) {
        return;
    }
    event->acceptProposedAction();
    // The program that dragged waits until the drop is taken: the open, with
    // its boxes, runs once it is.
    QMetaObject::invokeMethod(
        this,
        [this, path = std::move(path)] {
            const QWidget* modal = QApplication::activeModalWidget();
            if (!m_ended && (modal == nullptr || modal == this)) {
                OnDropSet(path);
            }
        },
        Qt::QueuedConnection);
}

void CKirabelDlg::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), CColorLabel::ToQColor(colors::kBlack));
}
