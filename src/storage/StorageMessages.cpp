#include "StorageMessages.h"

#include "storage/Exception.h"

namespace StorageMessages {

QString cannotCreateDirectory()
{
    return QStringLiteral("Cannot create Directory");
}

QString cannotOpen(const QString &path)
{
    return QStringLiteral("ファイル %1 は開けません").arg(path);
}

QString cannotCreate(const QString &path)
{
    return QStringLiteral("ファイル %1 を作成できません").arg(path);
}

QString writeError()
{
    return QStringLiteral("ストリームへの書き込みエラー");
}

QString tooLarge()
{
    return QStringLiteral("文字列の大きさが メモ の制限を越えました");
}

QString cannotWrite(const QString &path)
{
    return QStringLiteral("%1 に書き込めません").arg(path);
}

QString writerNotAnswering()
{
    return QStringLiteral("ディスクが応答しないため、日記の保存が終わっていません。");
}

QString writerNotAnsweringOnClose()
{
    return writerNotAnswering() + QStringLiteral("\n書いた内容はこの画面に残っています。");
}

QString forResult(FilePrimitives::Result result, const QString &path)
{
    switch (result) {
    case FilePrimitives::Result::Done:
        return QString();
    case FilePrimitives::Result::CreateFailed:
        return cannotCreate(path);
    case FilePrimitives::Result::WriteFailed:
        break;
    }
    return writeError();
}

void raise(FilePrimitives::Result result, const QString &path)
{
    throw Exception(forResult(result, path));
}

} // namespace StorageMessages
