#include "Messages.h"

#include <cstdio>

namespace {
TMessageHandler& Handler()
{
    static TMessageHandler handler;
    return handler;
}
}  // namespace

bool ShowMessage(const QString& text, TMessageKind kind)
{
    if (Handler())
        return Handler()(kind, text);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return kind != TMessageKind::Confirmation;
}

TMessageHandler SetMessageHandler(TMessageHandler handler)
{
    TMessageHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}
