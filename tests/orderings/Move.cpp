#include "Move.h"

#include <array>
#include <utility>

using FileFaults::Step;

namespace {

constexpr std::array kEvents = {
    std::pair {Event::Type, u"Type"},
    std::pair {Event::SaveKey, u"SaveKey"},
    std::pair {Event::Leave, u"Leave"},
    std::pair {Event::ChangeDay, u"ChangeDay"},
    std::pair {Event::ChangeFolder, u"ChangeFolder"},
    std::pair {Event::Compose, u"Compose"},
    std::pair {Event::Close, u"Close"},
    std::pair {Event::Terminate, u"Terminate"},
    std::pair {Event::Follow, u"Follow"},
    std::pair {Event::Deliver, u"Deliver"},
    std::pair {Event::WriteInPlace, u"WriteInPlace"},
    std::pair {Event::RenameOver, u"RenameOver"},
    std::pair {Event::Create, u"Create"},
    std::pair {Event::Delete, u"Delete"},
    std::pair {Event::Touch, u"Touch"},
    std::pair {Event::SameSizeRewrite, u"SameSizeRewrite"},
    std::pair {Event::Symlink, u"Symlink"},
    std::pair {Event::SecondSave, u"SecondSave"},
    std::pair {Event::SecondFollow, u"SecondFollow"},
    std::pair {Event::SecondClose, u"SecondClose"},
    std::pair {Event::SecondStart, u"SecondStart"},
    std::pair {Event::Fail, u"Fail"},
    std::pair {Event::Slow, u"Slow"},
    std::pair {Event::Hang, u"Hang"},
    std::pair {Event::RefuseSwaps, u"RefuseSwaps"},
    std::pair {Event::Age, u"Age"},
};

constexpr std::array kSteps = {
    std::pair {Step::OpenRead, u"OpenRead"},
    std::pair {Step::Create, u"Create"},
    std::pair {Step::Write, u"Write"},
    std::pair {Step::Flush, u"Flush"},
    std::pair {Step::Sync, u"Sync"},
    std::pair {Step::Rename, u"Rename"},
    std::pair {Step::MakeDir, u"MakeDir"},
    std::pair {Step::Link, u"Link"},
    std::pair {Step::Exchange, u"Exchange"},
    std::pair {Step::Looked, u"Looked"},
    std::pair {Step::Kept, u"Kept"},
    std::pair {Step::Renamed, u"Renamed"},
    std::pair {Step::Busy, u"Busy"},
    std::pair {Step::Posted, u"Posted"},
};

constexpr std::array kStarts = {
    std::pair {Start::Absent, u"absent"},
    std::pair {Start::Seen, u"seen"},
    std::pair {Start::Foreign, u"foreign"},
};

constexpr std::array kTexts = {
    std::pair {Texts::Plain, u"plain"},
    std::pair {Texts::Japanese, u"japanese"},
    std::pair {Texts::Foreign, u"bytes"},
};

template<typename Table, typename Value> QString nameIn(const Table &table, Value value)
{
    for (const auto &[v, name] : table) {
        if (v == value)
            return QString::fromUtf16(name);
    }
    return QStringLiteral("?");
}

template<typename Value, typename Table>
std::optional<Value> valueIn(const Table &table, QStringView name)
{
    for (const auto &[v, n] : table) {
        if (name == QStringView(n))
            return v;
    }
    return std::nullopt;
}

} // namespace

QString eventName(Event event)
{
    return nameIn(kEvents, event);
}

std::optional<Event> eventNamed(QStringView name)
{
    return valueIn<Event>(kEvents, name);
}

QString stepName(Step step)
{
    return nameIn(kSteps, step);
}

std::optional<Step> stepNamed(QStringView name)
{
    return valueIn<Step>(kSteps, name);
}

QString startName(Start start)
{
    return nameIn(kStarts, start);
}

std::optional<Start> startNamed(QStringView name)
{
    return valueIn<Start>(kStarts, name);
}

QString textsName(Texts texts)
{
    return nameIn(kTexts, texts);
}

std::optional<Texts> textsNamed(QStringView name)
{
    return valueIn<Texts>(kTexts, name);
}

bool isPersonEvent(Event event)
{
    return event <= Event::Terminate;
}

bool isOtherWriterEvent(Event event)
{
    return event >= Event::WriteInPlace && event <= Event::Symlink;
}

bool isSecondEvent(Event event)
{
    return event >= Event::SecondSave && event <= Event::SecondStart;
}

bool isDiskEvent(Event event)
{
    return event == Event::Fail || event == Event::Slow || event == Event::Hang
        || event == Event::RefuseSwaps || event == Event::Age;
}
