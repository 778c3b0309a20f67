#pragma once
// Points XDG_CONFIG_HOME at a fresh temporary folder for one test, so that the program's own
// settings file location is used without touching the user's.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TempConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FHadOld = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        FOld = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir.path()));
    }
    void TearDown() override
    {
        if (FHadOld)
            qputenv("XDG_CONFIG_HOME", FOld);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString configPath() const { return FDir.path() + "/Quillmark/Quillmark ToDo.conf"; }

    void writeConfig(const QByteArray& content) const
    {
        QDir().mkpath(FDir.path() + "/Quillmark");
        QFile file(configPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QByteArray readConfig() const
    {
        QFile file(configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir FDir;

private:
    bool FHadOld = false;
    QByteArray FOld;
};
