// SPDX-License-Identifier: MIT
// LoadLangData on arbitrary bytes: a block is read or refused with an error,
// never a crash, a hang or an allocation the input did not pay for. What was
// read must write back and read again to the same tree.
#include "localization/CompEntries.h"
#include "vcl/Exception.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char *>(data), int(size));
    in.open(QIODevice::ReadOnly);
    TVLang_CompEntry root;
    try {
        root.LoadLangData(in);
    } catch (const Exception &) {
        return 0;
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    root.SaveLangData(out);
    QBuffer again;
    again.setData(out.data());
    again.open(QIODevice::ReadOnly);
    TVLang_CompEntry copy;
    copy.LoadLangData(again);
    QBuffer out2;
    out2.open(QIODevice::WriteOnly);
    copy.SaveLangData(out2);
    if (out2.data() != out.data())
        std::abort();
    return 0;
}
