#pragma once

// The texts of the windows and menus, UTF-8. Each window turns them into its
// toolkit's strings where it shows them.
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

} // namespace strings
