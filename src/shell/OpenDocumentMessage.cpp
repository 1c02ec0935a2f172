// The messages for a document that could not be opened, by the shell's result code.
#include "shell/OpenDocumentMessage.h"

namespace mdlShare {

namespace {

QString reason(int resultCode) {
    switch (resultCode) {
    case ShellFileNotFound:
        return QStringLiteral("次のファイルが見つかりません。");
    case ShellPathNotFound:
        return QStringLiteral("次のファイルのフォルダーが見つかりません。");
    case 5:
        return QStringLiteral("次のファイルを開く権限がありません。");
    case 8:
        return QStringLiteral("メモリーが足りないため、次のファイルを開けませんでした。");
    case 11:
        return QStringLiteral("次のファイルを開くプログラムが正しくありません。");
    case 26:
        return QStringLiteral("次のファイルはほかのプログラムが使っているため、開けませんでした。");
    case 27:
        return QStringLiteral("次のファイルを開くプログラムの設定が正しくありません。");
    case 28:
    case 29:
    case 30:
        return QStringLiteral("次のファイルを開くプログラムが応答しませんでした。");
    case ShellNoAssociation:
        return QStringLiteral("次のファイルを開くプログラムが見つかりません。\n"
                              "テキストエディターなどで直接開いてください。");
    case 32:
        return QStringLiteral("次のファイルを開くのに必要なライブラリーが見つかりません。");
    default:
        return QStringLiteral("次のファイルを開けませんでした。");
    }
}

} // namespace

QString OpenDocumentMessage(int resultCode, const QString& path) {
    if (resultCode > ShellOpenedOk)
        return {};
    return reason(resultCode) + QStringLiteral("\n\n") + path;
}

} // namespace mdlShare
