#pragma once

// Every text the program shows, UTF-8: the windows' and menus', the drill's
// and the question-set file layer's messages. Header-only data, so that every
// layer may include it. Each window turns them into its toolkit's strings
// where it shows them.
namespace strings {

inline constexpr char kAppName[] = "Kirabel";

inline constexpr char kQuestionStart[] = "問題文がここに表示されます。";
inline constexpr char kAnswerStart[] = "問題の答えがここに表示されます。";
inline constexpr char kNumberStart[] = "問題数";
inline constexpr char kUnexpectedError[] = "予測されない例外が発生しました。";

// Follow a failed save's own message: closing, or opening another set, would
// lose this run's progress.
inline constexpr char kCloseAnyway[] =
    "このまま終了すると、今回の学習結果は失われます。終了しますか？";
inline constexpr char kOpenAnyway[] =
    "このまま別の問題集を開くと、今回の学習結果は失われます。開きますか？";
// Once, when a set is opened whose file cannot be written.
inline constexpr char kReadOnlySet[] =
    "この問題集ファイルには書き込めません。今回の学習結果は保存されません。";
// At start-up, when the system has no code page 932 converter.
inline constexpr char kNoCp932[] = "Shift_JIS (コードページ 932) の変換表がこのシステムに"
                                   "ありません。Shift_JIS の問題集ファイルは正しく表示されません。";

// After a failed save of a right answer, once: the drill goes on.
inline constexpr char kProgressKept[] = "今回の学習結果はこのまま記憶していて、次に正解したときに"
                                        "もう一度保存します。";
// Why the window holds up the end of the desktop session, when its save failed.
inline constexpr char kEndBlockedReason[] =
    "今回の学習結果を問題集ファイルに保存できませんでした。";

// What a screen reader calls the controls that show no text, and the result
// of a check in words.
inline constexpr char kAnswerBoxName[] = "答えの入力";
inline constexpr char kNextButtonName[] = "次の問題";
inline constexpr char kRightName[] = "正解";
inline constexpr char kWrongName[] = "不正解";
// Between the parts a screen reader says of the focused control: the number
// and the question, or the result, the answer and the hint.
inline constexpr char kSpokenBreak[] = " ";

// Below the answer after a wrong reply that differs from it only in form, one
// sentence a kind. Where a screen reader would say two characters alike, their
// names are in the words.
inline constexpr char kHintLeadingSpace[] = "最初に空白があります。";
inline constexpr char kHintTrailingSpace[] = "最後に空白があります。";
inline constexpr char kHintWidth[] = "全角と半角が違います。";
inline constexpr char kHintCase[] = "大文字と小文字が違います。";
inline constexpr char kHintKana[] = "ひらがなとカタカナが違います。";
inline constexpr char kHintSmallKana[] = "かなの大きさ（「ゃ」と「や」など）が違います。";
inline constexpr char kHintLongVowel[] = "長音「ー」とハイフンが違います。";
inline constexpr char kHintWaveDash[] = "波ダッシュ「〜」とチルダ「～」が違います。";

inline constexpr char kSetFileFilter[] = "問題集ファイル(*.krb)";
inline constexpr char kSetFilePattern[] = "*.krb";
inline constexpr char kSetFileSuffix[] = "krb";

inline constexpr char kFileMenu[] = "ファイル(&F)";
inline constexpr char kOpenSetItem[] = "問題集ファイルを開く(&O)";
inline constexpr char kExitItem[] = "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)";
inline constexpr char kAboutItem[] = "Kirabel のﾊﾞｰｼﾞｮﾝ情報(&A)...";

inline constexpr char kAboutCaption[] = "Kirabelのﾊﾞｰｼﾞｮﾝ情報";
inline constexpr char kAboutVersion[] = "Kirabel Version 1.0";
inline constexpr char kOk[] = "OK";

// The drill: the question's number is kNumberPrefix, the number and
// kNumberSuffix; the answer shown after a check follows kAnswerPrefix.
inline constexpr char kNumberPrefix[] = "第";
inline constexpr char kNumberSuffix[] = "問";
inline constexpr char kAnswerPrefix[] = "答え  "; // two half-width spaces

// Where the set stands, right of the number: this run's checked replies and
// the right ones among them, then the questions never answered right (count 0)
// of all; kStatusAllRight instead once there are none.
inline constexpr char kStatusRunBefore[] = "今回 ";
inline constexpr char kStatusRunMiddle[] = "問中 ";
inline constexpr char kStatusRunAfter[] = "問正解";
inline constexpr char kStatusGap[] = "　"; // a full-width space
inline constexpr char kStatusUnansweredBefore[] = "未正解 ";
inline constexpr char kStatusUnansweredMiddle[] = "/";
inline constexpr char kStatusUnansweredAfter[] = "問";
inline constexpr char kStatusAllRight[] = "全問正解済み";

// The question-set file layer's messages.
inline constexpr char kNoToken[] = "トークンが有りません。";
inline constexpr char kNotANumber[] = "数字ではありません。";
// Followed by the line's number and kLineSuffix.
inline constexpr char kReadFailedAt[] = "問題集ファイル読み込みに失敗しました：";
inline constexpr char kLineSuffix[] = "行目";
inline constexpr char kSaveFailed[] = "問題集ファイルの保存に失敗しました。";
// Why, on the line after kSaveFailed, where the learner can mend it; any other
// reason is the system's own message.
inline constexpr char kReasonNoSpace[] = "ディスクの空き容量が足りません。";
inline constexpr char kReasonNotAllowed[] =
    "問題集ファイルか、そのフォルダーに書き込む権限がありません。";
inline constexpr char kReasonHeld[] = "問題集ファイルが他のプログラムで使用中です。";
inline constexpr char kReasonGone[] = "問題集ファイルか、そのフォルダーが見つかりません。";
// Around the name of the encoding, "UTF-16" or "UTF-32".
inline constexpr char kForeignEncodingBefore[] = "この問題集ファイルは ";
inline constexpr char kForeignEncodingAfter[] =
    " で保存されているため、読み込めません。UTF-8 か Shift_JIS で保存し直してください。";
// A save found the file changed by another program and could not read it.
inline constexpr char kChangedUnreadable[] =
    "問題集ファイルが他のプログラムで変更されていて、読み込めません。";

} // namespace strings
