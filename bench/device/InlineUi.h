// The benchmarks' user interface for an exchange: calls run inline on the exchange thread, message boxes
// are counted (and printed when asked) instead of shown.
#pragma once

#include "device/ExchangeUi.h"

#include <cstdio>

namespace velda::bench {

class InlineUi : public ExchangeUi {
public:
    explicit InlineUi(bool printMessages = true) : m_printMessages(printMessages) {}
    void runBlocking(const std::function<void()> &call) override { call(); }
    void showMessage(const QString &text, const QString &, MessageIcon) override {
        if (m_printMessages) std::fprintf(stderr, "message box: %s\n", text.toUtf8().constData());
        ++boxes;
    }
    int boxes = 0;

private:
    bool m_printMessages;
};

} // namespace velda::bench
