// Read access to a compiled help file through chmlib. Object paths are
// UTF-8 and begin with "/" ("/html_files/MyZELK/index.htm").
#pragma once

#include <optional>
#include <string>

struct chmFile;

class CChmArchive
{
public:
    CChmArchive() = default;
    ~CChmArchive();
    CChmArchive(const CChmArchive&) = delete;
    CChmArchive& operator=(const CChmArchive&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    // The object's bytes; nullopt when it is not in the file.
    std::optional<std::string> Read(const std::string& objectPath) const;

    // From the file's system record; empty when it names none.
    const std::string& ContentsFile() const { return m_contents; } // "/MyZELK.hhc"
    const std::string& DefaultTopic() const { return m_defaultTopic; }
    const std::string& Title() const { return m_title; }

private:
    void ReadSystemRecord();

    chmFile* m_file = nullptr;
    std::string m_contents, m_defaultTopic, m_title;
};
