#pragma once

#include "storage/Exception.h"

// A date part or a month step that would give a date the calendar cannot hold.
class EConvertError : public Exception
{
public:
    EConvertError() : Exception(QStringLiteral("日付に変換できない値が渡されました")) { }
};
