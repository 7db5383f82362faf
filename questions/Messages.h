#pragma once

// Texts of the question-set file layer, UTF-8.
namespace messages {

inline constexpr char kNoToken[] = "トークンが有りません。";
inline constexpr char kNotANumber[] = "数字ではありません。";
// Followed by the line's number and kLineSuffix.
inline constexpr char kReadFailedAt[] = "問題集ファイル読み込みに失敗しました：";
inline constexpr char kLineSuffix[] = "行目";
inline constexpr char kSaveFailed[] = "問題集ファイルの保存に失敗しました。";
// Around the name of the encoding, "UTF-16" or "UTF-32".
inline constexpr char kForeignEncodingBefore[] = "この問題集ファイルは ";
inline constexpr char kForeignEncodingAfter[] =
    " で保存されているため、読み込めません。UTF-8 か Shift_JIS で保存し直してください。";
// A save found the file changed by another program and could not read it.
inline constexpr char kChangedUnreadable[] =
    "問題集ファイルが他のプログラムで変更されていて、読み込めません。";

} // namespace messages
