#pragma once
// File names exactly as the file system holds them.
//
// On Linux a name is any bytes. Most are UTF-8, but a name copied from an old disk or an archive
// may not be, and Qt's own decoding (QFile::decodeName) turns such bytes into U+FFFD, so that the
// name can no longer be found and a file created under it gets another name. These functions keep
// every byte: one that is not part of valid UTF-8 becomes the lone low surrogate U+DC80..U+DCFF
// (as Python's "surrogateescape" does) and turns back into that byte when the name is encoded.
// For valid UTF-8 they give what QFile::decodeName and QFile::encodeName give. On Windows names
// are UTF-16 and these are the QFile functions.
//
//     const QString name = DecodeFileName(argv[1]);     // keeps a \xFF
//     ::open(EncodeFileName(name).constData(), ...);   // the same bytes again
//     if (PathExists(name)) ...                        // never QFileInfo::exists(name)
//
// A name holding such bytes must go to the system through EncodeFileName, never through Qt's
// file classes, which would look for the U+FFFD spelling instead.

#include <QByteArray>
#include <QString>

QString DecodeFileName(const QByteArray& native);
QByteArray EncodeFileName(const QString& name);

// Whether `text` holds bytes that were not valid UTF-8 (escaped as above): such text is a file
// name at best, never a title or a category.
bool HasUndecodedBytes(const QString& text);
// `text` for a message: every escaped byte shown as \xHH, so that it can be written as UTF-8.
QString PrintableFileName(const QString& text);

// As QFileInfo's exists(), isDir() and isFile(): symbolic links are followed.
bool PathExists(const QString& path);
bool PathIsFolder(const QString& path);
bool PathIsFile(const QString& path);
// Removes a file (not a folder); false when it could not be removed or did not exist.
bool RemoveFilePath(const QString& path);
