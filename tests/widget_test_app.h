#pragma once

#include <QApplication>

namespace zp::test {

// Widget tests need one QApplication for the whole test binary; the first call creates it.
inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "zenpatch-tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

} // namespace zp::test
