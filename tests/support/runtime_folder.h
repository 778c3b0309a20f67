#pragma once
// A private XDG_RUNTIME_DIR for one test: the endpoints of the windows and qmtd processes the test
// starts meet there and nowhere else. The old value is put back at the end.

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

class TestRuntimeFolder {
public:
    TestRuntimeFolder() : FOld(qgetenv("XDG_RUNTIME_DIR"))
    {
        qputenv("XDG_RUNTIME_DIR", FDir.path().toLocal8Bit());
    }
    ~TestRuntimeFolder()
    {
        if (FOld.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", FOld);
    }
    TestRuntimeFolder(const TestRuntimeFolder&) = delete;
    TestRuntimeFolder& operator=(const TestRuntimeFolder&) = delete;

    bool isValid() const { return FDir.isValid(); }
    QString path() const { return FDir.path(); }

private:
    QTemporaryDir FDir; // mode 0700, as the session's folder
    QByteArray FOld;
};
