#pragma once

// The texts of the windows and menus, as code page 932 bytes spelled out byte
// by byte (every compiler then produces the same bytes, whatever its charset).
// They become Qt text only at the widget that shows them.
namespace strings {

inline constexpr char kAppName[] = "Kirabel";

// 問題文がここに表示されます。
inline constexpr char kQuestionStart[] = "\x96\xe2\x91\xe8\x95\xb6\x82\xaa\x82\xb1\x82\xb1\x82\xc9"
                                         "\x95\x5c\x8e\xa6\x82\xb3\x82\xea\x82\xdc\x82\xb7\x81\x42";

// 問題の答えがここに表示されます。
inline constexpr char kAnswerStart[] = "\x96\xe2\x91\xe8\x82\xcc\x93\x9a\x82\xa6\x82\xaa\x82\xb1"
                                       "\x82\xb1\x82\xc9\x95\x5c\x8e\xa6\x82\xb3\x82\xea\x82\xdc"
                                       "\x82\xb7\x81\x42";

// 問題数
inline constexpr char kNumberStart[] = "\x96\xe2\x91\xe8\x90\x94";

// 予測されない例外が発生しました。
inline constexpr char kUnexpectedError[] =
    "\x97\x5c\x91\xaa\x82\xb3\x82\xea\x82\xc8\x82\xa2\x97\xe1"
    "\x8a\x4f\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5"
    "\x82\xbd\x81\x42";

// このまま終了すると、今回の学習結果は失われます。終了しますか？
// (follows the failed save's own message when the window closes)
inline constexpr char kCloseAnyway[] = "\x82\xb1\x82\xcc\x82\xdc\x82\xdc\x8f\x49\x97\xb9\x82\xb7"
                                       "\x82\xe9\x82\xc6\x81\x41\x8d\xa1\x89\xf1\x82\xcc\x8a\x77"
                                       "\x8f\x4b\x8c\x8b\x89\xca\x82\xcd\x8e\xb8\x82\xed\x82\xea"
                                       "\x82\xdc\x82\xb7\x81\x42\x8f\x49\x97\xb9\x82\xb5\x82\xdc"
                                       "\x82\xb7\x82\xa9\x81\x48";

// 問題集ファイル(*.krb)
inline constexpr char kSetFileFilter[] = "\x96\xe2\x91\xe8\x8f\x57\x83\x74\x83\x40\x83\x43\x83\x8b"
                                         "(*.krb)";
inline constexpr char kSetFileSuffix[] = "krb";

// ファイル(&F)
inline constexpr char kFileMenu[] = "\x83\x74\x83\x40\x83\x43\x83\x8b(&F)";

// 問題集ファイルを開く(&O)
inline constexpr char kOpenSetItem[] = "\x96\xe2\x91\xe8\x8f\x57\x83\x74\x83\x40\x83\x43\x83\x8b"
                                       "\x82\xf0\x8a\x4a\x82\xad(&O)";

// ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)
inline constexpr char kExitItem[] = "\xb1\xcc\xdf\xd8\xb9\xb0\xbc\xae\xdd\x82\xcc\x8f\x49\x97\xb9"
                                    "(&X)";

// Kirabel のﾊﾞｰｼﾞｮﾝ情報(&A)...
inline constexpr char kAboutItem[] = "Kirabel \x82\xcc\xca\xde\xb0\xbc\xde\xae\xdd\x8f\xee\x95\xf1"
                                     "(&A)...";

// Kirabelのﾊﾞｰｼﾞｮﾝ情報
inline constexpr char kAboutCaption[] =
    "Kirabel\x82\xcc\xca\xde\xb0\xbc\xde\xae\xdd\x8f\xee\x95\xf1";

inline constexpr char kAboutVersion[] = "Kirabel Version 1.0";
inline constexpr char kOk[] = "OK";

} // namespace strings
