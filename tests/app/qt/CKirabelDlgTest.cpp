#include "app/qt/CKirabelDlg.h"
#include "questions/Cp932.h"
#include "questions/QuestionSet.h"
#include "res/Strings.h"
#include "session/QuestionPool.h"
#include "tests/TestSupport.h"
#include "tests/support/DrillFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using testsupport::ReadBytes;

namespace {

QString U(const char16_t* text) {
    return QString::fromUtf16(text);
}

// One of the program's own texts.
QString S(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The window with its file chooser and message boxes answered by the test.
class TestDlg : public CKirabelDlg {
public:
    using CKirabelDlg::m_answerEdit, CKirabelDlg::m_answerLabel, CKirabelDlg::m_hintLabel;
    using CKirabelDlg::m_nextButton;
    using CKirabelDlg::m_numberLabel, CKirabelDlg::m_questionLabel, CKirabelDlg::m_rightMark;
    using CKirabelDlg::m_statusLabel;
    using CKirabelDlg::m_windowMenu, CKirabelDlg::m_wrongMark;

    QStringList choices; // the chooser's answers in turn; "" cancels
    std::vector<std::string> warnings, asked;
    bool yes = false; // the answer to every question asked
    int aboutBoxes = 0;

    std::string ChooseSetFile() override {
        return choices.isEmpty() ? "" : choices.takeFirst().toStdString();
    }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    bool AskYesNo(const std::string& text) override {
        asked.push_back(text);
        return yes;
    }
    std::string RealChooseSetFile() { return CKirabelDlg::ChooseSetFile(); }
    void RealShowWarning(const std::string& text) { CKirabelDlg::ShowWarning(text); }
    void RunAboutBox() override { ++aboutBoxes; }
};

const QString kQuestions[] = {QString::fromStdString(testsupport::kDrillQuestions[0]),
                              QString::fromStdString(testsupport::kDrillQuestions[1])};
const QString kAnswers[] = {QString::fromStdString(testsupport::kDrillAnswers[0]),
                            QString::fromStdString(testsupport::kDrillAnswers[1])};
using testsupport::SetFile;

// What the learner sees and can do, compared as a whole.
struct Look {
    QString question, answer, number, box;
    Color answerColor;
    bool boxEnabled, buttonEnabled, right, wrong;
    QWidget* focus;
    bool operator==(const Look&) const = default;
};

constexpr Color kWhite = Rgb(255, 255, 255);
const QString kStart[] = {QString::fromUtf8(strings::kQuestionStart),
                          QString::fromUtf8(strings::kAnswerStart),
                          QString::fromUtf8(strings::kNumberStart)};
const Look kInitial{kStart[0], kStart[1], kStart[2], "",    kWhite,
                    false,     false,     false,     false, nullptr};
class CKirabelDlgTest : public ::testing::Test, public testsupport::DrillFixture {
public:
    void SetUp() override {
        m_dlg.show();
        QApplication::setActiveWindow(&m_dlg);
    }
    QAction* FileItem(int index) {
        return m_dlg.findChild<QMenuBar*>()->actions().at(0)->menu()->actions().at(index);
    }
    void Open(const std::string& path) override {
        m_dlg.choices << QString::fromStdString(path);
        FileItem(0)->trigger();
    }
    // An input method delivers text as a commit string; keys go where the focus is.
    void Type(const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &m_dlg, key, modifiers);
    }
    int Shown() override { return m_dlg.m_questionLabel.text() == kQuestions[0] ? 0 : 1; }
    void Reply(const std::string& reply) override {
        Type(QString::fromStdString(reply));
        Press(Qt::Key_Return);
    }
    std::vector<std::string> TakeWarnings() override { return std::exchange(m_dlg.warnings, {}); }
    // Drags `data` over the window and drops it there, as the window system
    // delivers a drop; the open it starts runs once the drop is taken.
    // Returns whether the window took the drag.
    bool Drop(const QMimeData& data) {
        const QPoint at = m_dlg.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&m_dlg, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&m_dlg, &drop);
        EXPECT_EQ(drop.isAccepted(), enter.isAccepted());
        QCoreApplication::sendPostedEvents();
        return enter.isAccepted();
    }
    Look Now() {
        return {m_dlg.m_questionLabel.text(),       m_dlg.m_answerLabel.text(),
                m_dlg.m_numberLabel.text(),         m_dlg.m_answerEdit.text(),
                m_dlg.m_answerLabel.GetTextColor(), m_dlg.m_answerEdit.isEnabled(),
                m_dlg.m_nextButton.isEnabled(),     m_dlg.m_rightMark.isVisible(),
                m_dlg.m_wrongMark.isVisible(),      QApplication::focusWidget()};
    }
    TestDlg m_dlg;
};

// Readable test names: the case's own name instead of its index.
constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

TEST_F(CKirabelDlgTest, StartsWithNothingToDo) {
    EXPECT_EQ(Now(), kInitial);
    // Fixed for the window manager too: no maximise button, no sizing border.
    EXPECT_EQ(m_dlg.windowHandle()->minimumSize(), m_dlg.size());
    EXPECT_EQ(m_dlg.windowHandle()->maximumSize(), m_dlg.size());
    // Without the stand-in the Japanese falls back glyph by glyph, or shows as boxes.
    EXPECT_EQ(QFontInfo(m_dlg.font()).family(), QStringLiteral("IPAPGothic"));
    const struct {
        const CColorLabel& label;
        int pixelSize, weight;
    } labels[] = {{m_dlg.m_questionLabel, 14, 400},
                  {m_dlg.m_answerLabel, 15, 400},
                  {m_dlg.m_numberLabel, 14, 956}};
    for (const auto& l : labels) {
        EXPECT_EQ(l.label.GetFont().pixelSize(), l.pixelSize);
        EXPECT_EQ(l.label.GetFont().weight(), l.weight);
    }
}

TEST_F(CKirabelDlgTest, RunsAWholeDrillFromTheKeyboard) {
    Open(m_set);
    const int first = Shown(), second = 1 - first;
    EXPECT_EQ(Now(), (Look{kQuestions[first], "", U(u"第1問"), "", kWhite, true, false, false,
                           false, &m_dlg.m_answerEdit}));
    Type(kAnswers[first]);
    Press(Qt::Key_Return);
    EXPECT_EQ(Now(),
              (Look{kQuestions[first], U(u"答え  ") + kAnswers[first], U(u"第1問"), kAnswers[first],
                    Rgb(180, 180, 255), false, true, true, false, &m_dlg.m_nextButton}));
    // The right answer raised its count, so the other question comes next.
    Press(Qt::Key_Return);
    EXPECT_EQ(Now(), (Look{kQuestions[second], "", U(u"第2問"), "", kWhite, true, false, false,
                           false, &m_dlg.m_answerEdit}));
    // A character the code page lacks never makes a reply right, nor is it lost.
    const QString wrong = kAnswers[second] + U(u"😀");
    Type(wrong);
    Press(Qt::Key_Return);
    EXPECT_EQ(Now(), (Look{kQuestions[second], U(u"答え  ") + kAnswers[second], U(u"第2問"), wrong,
                           Rgb(255, 100, 100), false, true, false, true, &m_dlg.m_nextButton}));
    // A click on the button, delivered through the window, goes on as well.
    QTest::mouseClick(m_dlg.windowHandle(), Qt::LeftButton, {},
                      m_dlg.m_nextButton.geometry().center());
    EXPECT_EQ(m_dlg.m_numberLabel.text(), U(u"第3問"));
}

// The Enter that confirms a composition belongs to the input method.
TEST_F(CKirabelDlgTest, EnterConfirmingACompositionChecksNothing) {
    Open(m_set);
    QInputMethodEvent preedit(U(u"とうきょう"), {});
    QApplication::sendEvent(QApplication::focusWidget(), &preedit);
    const Look composing = Now();
    Press(Qt::Key_Return);
    EXPECT_EQ(Now(), composing);
    Type(kAnswers[Shown()]);
    Press(Qt::Key_Return);
    EXPECT_TRUE(m_dlg.m_rightMark.isVisible());
}

// Before any file, while asking, and answered (three Enters leave it so). F1
// and the window menu's item open the about box.
TEST_F(CKirabelDlgTest, EscChangesNothingAndEnterNeverCloses) {
    for (int state = 0; state < 3; ++state) {
        if (state == 1) {
            Open(m_set);
        }
        const Look before = Now();
        Press(Qt::Key_Escape);
        m_dlg.reject();    // what the dialog's own cancel handling would call
        Press(Qt::Key_F1); // the about box, and nothing else
        EXPECT_EQ(Now(), before);
        EXPECT_TRUE(m_dlg.isVisible());
        for (int i = 0; i < 3; ++i) {
            Press(Qt::Key_Return);
            EXPECT_TRUE(m_dlg.isVisible());
        }
    }
    m_dlg.m_windowMenu->actions().value(0)->trigger();
    EXPECT_EQ(m_dlg.aboutBoxes, 4);
}

// What a screen reader is told, as the platform gets it. Offscreen, Qt's
// accessibility stays off until the platform turns it on (as the desktop's
// accessibility bus does when a screen reader runs); Qt's own tests turn it on
// the same way.
class ScreenReaderEvents {
public:
    using Event = std::pair<QObject*, QAccessible::Event>;
    ScreenReaderEvents() {
        Platform()->setActive(true);
        QAccessible::installUpdateHandler(&Record);
    }
    ScreenReaderEvents(const ScreenReaderEvents&) = delete;
    ScreenReaderEvents& operator=(const ScreenReaderEvents&) = delete;
    ~ScreenReaderEvents() {
        QAccessible::installUpdateHandler(nullptr);
        Platform()->setActive(false);
        s_events.clear();
    }
    void Clear() { s_events.clear(); }
    long Count(const Event& event) const {
        return std::count(s_events.begin(), s_events.end(), event);
    }
    // Where the event was first told; the end when never.
    long IndexOf(const Event& event) const {
        return std::find(s_events.begin(), s_events.end(), event) - s_events.begin();
    }

private:
    static QPlatformAccessibility* Platform() {
        return QGuiApplicationPrivate::platformIntegration()->accessibility();
    }
    static void Record(QAccessibleEvent* event) {
        s_events.emplace_back(event->object(), event->type());
    }
    static inline std::vector<Event> s_events;
};

QString Accessible(QWidget& widget, QAccessible::Text text) {
    return QAccessible::queryAccessibleInterface(&widget)->text(text);
}

// Names for the controls that show no text; each change of a text, of the
// result in words and of a mark is announced once, at once.
TEST_F(CKirabelDlgTest, TellsAScreenReaderWhatIsShown) {
    ScreenReaderEvents events;
    TestDlg& d = m_dlg;
    const std::pair<QWidget*, QString> names[] = {{&d.m_answerEdit, S(strings::kAnswerBoxName)},
                                                  {&d.m_nextButton, S(strings::kNextButtonName)},
                                                  {&d.m_rightMark, S(strings::kRightName)},
                                                  {&d.m_wrongMark, S(strings::kWrongName)},
                                                  {&d.m_questionLabel, kStart[0]},
                                                  {&d.m_answerLabel, kStart[1]},
                                                  {&d.m_numberLabel, kStart[2]}};
    for (const auto& [widget, name] : names) {
        EXPECT_EQ(Accessible(*widget, QAccessible::Name), name);
    }
    const auto texts = [&](std::vector<ScreenReaderEvents::Event> more) {
        for (QObject* label : {&d.m_questionLabel, &d.m_numberLabel, &d.m_answerLabel}) {
            more.emplace_back(label, QAccessible::NameChanged);
        }
        return more;
    };
    const auto checked = [&](QLabel& mark) {
        return std::vector<ScreenReaderEvents::Event>{
            {&d.m_answerLabel, QAccessible::NameChanged},
            {&d.m_answerLabel, QAccessible::DescriptionChanged},
            {&mark, QAccessible::ObjectShow}};
    };
    int first = 0;
    const std::vector<ScreenReaderEvents::Event> hidden = {
        {&d.m_answerLabel, QAccessible::DescriptionChanged},
        {&d.m_rightMark, QAccessible::ObjectHide},
        {&d.m_wrongMark, QAccessible::ObjectHide}};
    const struct {
        const char* step;
        std::function<void()> act;
        QString description;
        std::vector<ScreenReaderEvents::Event> announced, quiet; // once; never
    } steps[] = {{"open", [&] { Open(m_set), first = Shown(); }, "", texts({}), hidden},
                 {"right",
                  [&] { Type(kAnswers[first]), Press(Qt::Key_Return); },
                  S(strings::kRightName),
                  checked(d.m_rightMark),
                  {}},
                 {"next",
                  [&] { Press(Qt::Key_Return); },
                  "",
                  texts({{&d.m_answerLabel, QAccessible::DescriptionChanged},
                         {&d.m_rightMark, QAccessible::ObjectHide}}),
                  {{&d.m_wrongMark, QAccessible::ObjectHide}}},
                 {"wrong",
                  [&] { Type(U(u"x")), Press(Qt::Key_Return); },
                  S(strings::kWrongName),
                  checked(d.m_wrongMark),
                  {}}};
    for (const auto& s : steps) {
        events.Clear();
        s.act();
        EXPECT_EQ(Accessible(d.m_answerLabel, QAccessible::Description), s.description) << s.step;
        for (const auto& event : s.announced) {
            EXPECT_EQ(events.Count(event), 1) << s.step << " " << event.second;
        }
        for (const auto& event : s.quiet) {
            EXPECT_EQ(events.Count(event), 0) << s.step << " " << event.second;
        }
    }
}

// What a screen reader says as the focus lands: the focused control's name and
// its description, set before the focus moved there (Orca speaks a description
// change only on the focused control). The hint shows below the answer, in its
// colour, clear of the button.
TEST_F(CKirabelDlgTest, TheFocusedControlSaysWhatMatters) {
    ScreenReaderEvents events;
    TestDlg& d = m_dlg;
    int shown = 0;
    const QString wide[] = {U(u"東京 "), U(u"ｄｏｇ")}; // near misses of the two answers
    const QString hints[] = {S(strings::kHintTrailingSpace), S(strings::kHintWidth)};
    const struct {
        const char* step;
        std::function<void()> act;
        QWidget* focus;
        // The description, with %1 for the question or the answer, and the hint.
        QString description, hint;
    } steps[] = {
        {"open", [&] { Open(m_set), shown = Shown(); }, &d.m_answerEdit, U(u"第1問 %1"), ""},
        {"right", [&] { Type(kAnswers[shown]), Press(Qt::Key_Return); }, &d.m_nextButton,
         U(u"正解 答え  %1"), ""},
        {"next", [&] { Press(Qt::Key_Return), shown = Shown(); }, &d.m_answerEdit, U(u"第2問 %1"),
         ""},
        {"wrong", [&] { Type(U(u"x")), Press(Qt::Key_Return); }, &d.m_nextButton,
         U(u"不正解 答え  %1"), ""},
        {"next again", [&] { Press(Qt::Key_Return), shown = Shown(); }, &d.m_answerEdit,
         U(u"第3問 %1"), ""},
        {"near miss", [&] { Type(wide[shown]), Press(Qt::Key_Return); }, &d.m_nextButton,
         U(u"不正解 答え  %1 %2"), "hint"},
    };
    for (const auto& s : steps) {
        events.Clear();
        s.act();
        const bool asking = s.focus == &d.m_answerEdit;
        QString said = s.description.arg(asking ? kQuestions[shown] : kAnswers[shown]);
        const QString hint = s.hint.isEmpty() ? QString() : hints[shown];
        if (!hint.isEmpty()) {
            said = said.arg(hint);
        }
        ASSERT_EQ(QApplication::focusWidget(), s.focus) << s.step;
        EXPECT_EQ(Accessible(*s.focus, QAccessible::Description), said) << s.step;
        EXPECT_EQ(Accessible(*s.focus, QAccessible::Name),
                  S(asking ? strings::kAnswerBoxName : strings::kNextButtonName))
            << s.step;
        // Told once, and before the focus event, so that it is read with it.
        const ScreenReaderEvents::Event told{s.focus, QAccessible::DescriptionChanged};
        EXPECT_EQ(events.Count(told), 1) << s.step;
        EXPECT_LT(events.IndexOf(told), events.IndexOf({s.focus, QAccessible::Focus})) << s.step;
        EXPECT_EQ(d.m_hintLabel.isVisible(), !hint.isEmpty()) << s.step;
        EXPECT_EQ(d.m_hintLabel.text(), hint) << s.step;
    }
    // The reply stays wrong, in the answer line's colour.
    EXPECT_TRUE(d.m_wrongMark.isVisible());
    EXPECT_EQ(d.m_hintLabel.GetTextColor(), d.m_answerLabel.GetTextColor());
    EXPECT_EQ(d.m_answerLabel.text(), U(u"答え  ") + kAnswers[shown]);
    const QRect hint = d.m_hintLabel.geometry();
    EXPECT_TRUE(d.rect().contains(hint));
    EXPECT_FALSE(hint.intersects(d.m_nextButton.geometry()));
    // Below the answer's first line.
    EXPECT_GE(hint.top(),
              d.m_answerLabel.geometry().top() + QFontMetrics(d.m_answerLabel.GetFont()).height());
    // The whole hint fits: the longest two at once.
    const QString longest = S(strings::kHintLeadingSpace) + S(strings::kHintWaveDash);
    EXPECT_LE(QFontMetrics(d.m_hintLabel.GetFont())
                  .boundingRect(QRect(0, 0, hint.width(), 1000), Qt::TextWordWrap, longest)
                  .height(),
              hint.height());
}

struct CloseWay {
    const char* name;
    std::function<void(CKirabelDlgTest&)> close;
};

class Closing : public CKirabelDlgTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(Closing, SavesThenEndsTheRun) {
    const int first = AnswerFirstRightUnsaved();
    GetParam().close(*this);
    EXPECT_FALSE(m_dlg.isVisible());
    EXPECT_EQ(m_dlg.result(), QDialog::Accepted);
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

INSTANTIATE_TEST_SUITE_P(
    CKirabelDlg, Closing,
    ::testing::Values(CloseWay{"CloseBox", [](CKirabelDlgTest& t) { t.m_dlg.close(); }},
                      CloseWay{"AltF4",
                               [](CKirabelDlgTest& t) { t.Press(Qt::Key_F4, Qt::AltModifier); }},
                      CloseWay{"FileExit", [](CKirabelDlgTest& t) { t.FileItem(1)->trigger(); }}),
    kCaseName);

struct LogoutCase {
    const char* name;
    bool saveFails, mayAsk, yes;
    bool asks, goesOn; // the learner is asked; the logout goes on and the close asks nothing
};

class Logout : public CKirabelDlgTest, public ::testing::WithParamInterface<LogoutCase> {};

// The session manager's request to save before a logout: the learner is asked
// only after a failed save and only when the session manager allows it; No
// keeps the window, and the logout is cancelled.
TEST_P(Logout, SavesAndAsksOnlyWhenAllowed) {
    const LogoutCase& c = GetParam();
    const int first = c.saveFails ? AnswerFirstRight(true) : AnswerFirstRightUnsaved();
    m_dlg.warnings.clear();
    m_dlg.yes = c.yes;
    int interactionAsked = 0;
    EXPECT_EQ(m_dlg.CommitSessionData([&] { return ++interactionAsked, c.mayAsk; }), c.goesOn);
    EXPECT_EQ(interactionAsked, c.saveFails ? 1 : 0); // a good save needs nobody
    EXPECT_EQ(m_dlg.asked.size(), c.asks ? 1u : 0u);
    EXPECT_EQ(ReadBytes(m_set), c.saveFails ? SetFile(0, 0) : SetFile(first == 0, first == 1));
    // The session manager then closes the window; the learner who said No
    // closes it later, and is asked as ever.
    m_dlg.yes = false;
    m_dlg.close();
    EXPECT_EQ(m_dlg.isVisible(), !c.goesOn && c.saveFails);
    EXPECT_EQ(m_dlg.asked.size(), (c.asks ? 1u : 0u) + (c.goesOn || !c.saveFails ? 0u : 1u));
    EXPECT_TRUE(m_dlg.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(
    CKirabelDlg, Logout,
    ::testing::Values(LogoutCase{"Saved", false, true, false, false, true},
                      LogoutCase{"FailedNobodyToAsk", true, false, false, false, true},
                      LogoutCase{"FailedLearnerKeepsTheWindow", true, true, false, true, false},
                      LogoutCase{"FailedLearnerGivesUp", true, true, true, true, true}),
    kCaseName);

TEST_F(CKirabelDlgTest, AUtf8SetIsDrilledLikeAnyOther) {
    Open(Write("utf8.krb", "林檎 りんご 0\n한국 서울 1\n"));
    EXPECT_EQ(m_dlg.m_questionLabel.text(), U(u"林檎"));
    Type(U(u"りんご"));
    Press(Qt::Key_Return);
    EXPECT_TRUE(m_dlg.m_rightMark.isVisible());
    EXPECT_EQ(m_dlg.m_answerLabel.text(), U(u"答え  りんご"));
    m_dlg.close();
    EXPECT_EQ(ReadBytes(m_dir.File("utf8.krb")), "林檎 りんご 1\n한국 서울 1\n");
}

// Right of the number, in its colours and a font no larger, and wide enough
// for a run of 999 replies on a set of 9999; empty again after a failed open.
TEST_F(CKirabelDlgTest, ShowsWhereTheSetStandsBesideTheNumber) {
    const CColorLabel& status = m_dlg.m_statusLabel;
    const CColorLabel& number = m_dlg.m_numberLabel;
    EXPECT_EQ(status.text(), "");
    EXPECT_LE(status.GetFont().pixelSize(), number.GetFont().pixelSize());
    EXPECT_EQ(status.GetTextColor(), number.GetTextColor());
    EXPECT_EQ(status.palette().color(QPalette::Window), number.palette().color(QPalette::Window));
    EXPECT_GT(status.geometry().left(), number.geometry().right());
    EXPECT_GE(status.geometry().top(), number.geometry().top());
    EXPECT_LE(status.geometry().bottom(), number.geometry().bottom());
    EXPECT_TRUE(m_dlg.rect().contains(status.geometry()));
    EXPECT_LE(QFontMetrics(status.GetFont())
                  .horizontalAdvance(U(u"今回 999問中 999問正解　未正解 9999/9999問")),
              status.width());

    const int first = AnswerFirstRightUnsaved();
    EXPECT_EQ(status.text(), U(u"今回 1問中 1問正解　未正解 1/2問"));
    EXPECT_EQ(Accessible(const_cast<CColorLabel&>(status), QAccessible::Name), status.text());
    Press(Qt::Key_Return);
    Type(U(u"x"));
    Press(Qt::Key_Return);
    EXPECT_EQ(status.text(), U(u"今回 2問中 1問正解　未正解 1/2問"));
    Open(Write("empty.krb", ""));
    EXPECT_EQ(status.text(), "");
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

struct DropCase {
    const char* name;
    std::function<void(QMimeData&, const std::string& set, const std::string& folder)> fill;
    bool opens;
};

class Dropping : public CKirabelDlgTest, public ::testing::WithParamInterface<DropCase> {};

QList<QUrl> Files(std::initializer_list<std::string> paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
    }
    return urls;
}

// A dropped set opens with every step of File > open: the set in use saved
// first, the read-only notice, 第1問. Anything else changes nothing at all.
TEST_P(Dropping, OpensTheFirstFileOrNothing) {
    EXPECT_TRUE(m_dlg.acceptDrops());
    const int first = AnswerFirstRightUnsaved();
    const std::string other = Write("other.krb", "林檎 りんご 0\n");
    fs::permissions(other, fs::perms::owner_read);
    fs::create_directory(m_dir.File("folder.krb"));
    const Look before = Now();
    QMimeData data;
    GetParam().fill(data, other, m_dir.File("folder.krb"));
    EXPECT_EQ(Drop(data), GetParam().opens);
    if (GetParam().opens) {
        EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
        EXPECT_EQ(Now(), (Look{U(u"林檎"), "", U(u"第1問"), "", kWhite, true, false, false, false,
                               &m_dlg.m_answerEdit}));
        EXPECT_EQ(m_dlg.warnings, std::vector<std::string>{strings::kReadOnlySet});
    } else {
        EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
        EXPECT_EQ(Now(), before);
        EXPECT_TRUE(m_dlg.warnings.empty());
    }
    fs::permissions(other, fs::perms::owner_all);
}

INSTANTIATE_TEST_SUITE_P(
    CKirabelDlg, Dropping,
    ::testing::Values(
        DropCase{"ASetFile", [](QMimeData& d, auto& set, auto&) { d.setUrls(Files({set})); }, true},
        DropCase{"TwoFiles",
                 [](QMimeData& d, auto& set, auto&) {
                     d.setUrls(Files(
                         {set, testsupport::Utf8Of(fs::path(set).parent_path() / "set.krb")}));
                 },
                 true},
        DropCase{"AFolder", [](QMimeData& d, auto&, auto& dir) { d.setUrls(Files({dir})); }, false},
        DropCase{"AFolderAndAFile",
                 [](QMimeData& d, auto& set, auto& dir) {
                     d.setUrls(Files({dir, set}));
                 },
                 false},
        DropCase{"AWebAddress",
                 [](QMimeData& d, auto&, auto&) {
                     d.setUrls({QUrl(QStringLiteral("https://example.org/set.krb"))});
                 },
                 false},
        DropCase{"Text",
                 [](QMimeData& d, auto& set, auto&) { d.setText(QString::fromStdString(set)); },
                 false}),
    kCaseName);

// While a box is up over the window, a drop does nothing.
TEST_F(CKirabelDlgTest, ADropWhileAMessageBoxIsUpDoesNothing) {
    AnswerFirstRightUnsaved();
    const Look before = Now();
    QMimeData data;
    data.setUrls(Files({Write("other.krb", "林檎 りんご 0\n")}));
    bool boxUp = false, taken = true;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        boxUp = qobject_cast<QMessageBox*>(box) != nullptr;
        taken = Drop(data);
        if (box) {
            box->close();
        }
    });
    m_dlg.RealShowWarning("x");
    QCoreApplication::sendPostedEvents();
    QApplication::setActiveWindow(&m_dlg); // offscreen, no window manager does it
    EXPECT_TRUE(boxUp);
    EXPECT_FALSE(taken);
    EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
    EXPECT_EQ(Now(), before);
}

// Qt's own dialog speaks Japanese too, and offers the question-set files.
TEST_F(CKirabelDlgTest, TheOpenDialogIsJapanese) {
    QString title, pattern, filter;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filter = dialog->selectedNameFilter();
        pattern = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        for (const QPushButton* button :
             dialog->findChild<QDialogButtonBox*>()->findChildren<QPushButton*>()) {
            buttons << button->text();
        }
        dialog->reject();
    });
    EXPECT_EQ(m_dlg.RealChooseSetFile(), "");
    EXPECT_EQ(title, U(u"開く"));
    EXPECT_EQ(filter, S(strings::kSetFileFilter));
    EXPECT_EQ(pattern, U(u"*.krb"));
    EXPECT_TRUE(buttons.contains(U(u"開く(&O)")) || buttons.contains(U(u"開く")))
        << buttons.join(",").toStdString();
    EXPECT_TRUE(buttons.contains(U(u"キャンセル"))) << buttons.join(",").toStdString();
}

// A picture of the window mid-drill for the README.
TEST_F(CKirabelDlgTest, Screenshot) {
    QuestionPool::SeedRandom(7);
    const std::string sample = "\n" + ReadBytes(KIRABEL_SAMPLE);
    Open(Write("sample.krb", sample.substr(1)));
    // The answer follows the question shown at the start of its line.
    std::string question;
    ASSERT_TRUE(Cp932::FromUtf8(m_dlg.m_questionLabel.text().toStdString(), question));
    const std::string line = "\n" + question + " ";
    const std::size_t answer = sample.find(line) + line.size();
    Type(QString::fromStdString(
        Cp932::ToUtf8(sample.substr(answer, sample.find(' ', answer) - answer))));
    Press(Qt::Key_Return);
    ASSERT_TRUE(m_dlg.m_rightMark.isVisible());
    EXPECT_TRUE(m_dlg.grab().save(KIRABEL_SCREENSHOT));
}

// A near miss for the README: the reply in full-width letters.
TEST_F(CKirabelDlgTest, NearMissScreenshot) {
    Open(Write("near-miss.krb", "犬(英語) dog 0\n"));
    Type(U(u"ｄｏｇ"));
    Press(Qt::Key_Return);
    ASSERT_TRUE(m_dlg.m_hintLabel.isVisible());
    EXPECT_TRUE(m_dlg.grab().save(KIRABEL_NEAR_MISS_SCREENSHOT));
}

} // namespace
