#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <string>

// A fresh, empty working folder for the life of a test; the old one comes back afterwards.
class ScopedWorkDir {
public:
    ScopedWorkDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(previous_); }
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    std::string path(const std::string& name) const { return (dir_.path() + "/").toStdString() + name; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    QString previous_;
    QTemporaryDir dir_;
};
