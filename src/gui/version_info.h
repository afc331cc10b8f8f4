// Version strings of an executable file, by default the running program.
//
// Linux executables carry no version resource, so the program embeds its own:
// a version block in its read-only data, compiled from the project version.
// A version block is the magic text ResourceMagic() followed by entries
// "<path>=<value>", each ending with a zero byte, and one more zero byte
// after the last entry. The paths are those of the classic version resource:
// "\VarFileInfo\Translation" holds the language and code page blocks as
// eight hex digits each (separated by blanks; the first one counts), and
// "\StringFileInfo\<block>\<name>" holds the value <name> of that block.
// Reading a file finds the first well-formed block in it.
#pragma once

#include <QObject>
#include <QString>

#include <string_view>

class TFileVersionInfo : public QObject {
    Q_OBJECT

  public:
    // Reads the running program's own strings.
    explicit TFileVersionInfo(QObject* owner = nullptr);

    QString CompanyName() const { return fCompanyName; }
    QString FileDescription() const { return fFileDescription; }
    QString FileVersion() const { return fFileVersion; }
    QString InternalName() const { return fInternalName; }
    QString LegalCopyright() const { return fLegalCopyright; }
    QString LegalTradeMarks() const { return fLegalTradeMarks; }
    QString OriginalFilename() const { return fOriginalFilename; }
    QString ProductName() const { return fProductName; }
    QString ProductVersion() const { return fProductVersion; }
    QString Comments() const { return fComments; }
    // Language and code page of the block read, as eight hex digits.
    QString CountryCode() const { return fCountryCode; }

    // The file read. Setting it reads the strings at once; a file without a
    // version block (or a missing file) leaves them all empty.
    QString ExecutableFile() const { return fExecutableFile; }
    void SetExecutableFile(const QString& path);

    // The text that starts every version block.
    static std::string_view ResourceMagic();
    // Path of the running program.
    static QString RunningProgram();

  private:
    void clearInfo();
    void FindFileVersionInfo();

    QString fCompanyName;
    QString fFileDescription;
    QString fFileVersion;
    QString fInternalName;
    QString fLegalCopyright;
    QString fLegalTradeMarks;
    QString fOriginalFilename;
    QString fProductName;
    QString fProductVersion;
    QString fComments;
    QString fExecutableFile;
    QString fCountryCode;
};
