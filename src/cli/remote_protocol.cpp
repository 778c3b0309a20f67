#include "cli/remote_protocol.h"

#include "platform/file_names.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Texts travel as JSON strings; one holding bytes that are not UTF-8 (a file name, the output
// that names it) as {"bytes": base 64}, so that it arrives byte for byte.
QJsonValue textValue(const QString& text)
{
    if (!HasUndecodedBytes(text))
        return text;
    return QJsonObject{
        {QStringLiteral("bytes"), QString::fromLatin1(EncodeFileName(text).toBase64())}};
}

bool readText(const QJsonValue& value, QString& text)
{
    if (value.isString()) {
        text = value.toString();
        return true;
    }
    const QJsonValue bytes = value.toObject().value(QStringLiteral("bytes"));
    if (!value.isObject() || !bytes.isString())
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(bytes.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    text = DecodeFileName(*decoded);
    return true;
}

[[noreturn]] void malformed(const QString& why)
{
    throw RemoteProtocolError(RemoteRefusal::Malformed, why);
}

QString requiredText(const QJsonObject& o, const QString& name)
{
    QString text;
    if (!readText(o.value(name), text))
        malformed(QStringLiteral("\"%1\" is missing or not a text").arg(name));
    return text;
}

QString optionalText(const QJsonObject& o, const QString& name)
{
    if (!o.contains(name))
        return {};
    return requiredText(o, name);
}

// The object of a message whose version is ours.
QJsonObject messageObject(const QByteArray& json, const char* what)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        malformed(QStringLiteral("it is not JSON (%1 at byte %2)")
                      .arg(error.errorString())
                      .arg(error.offset));
    if (!document.isObject())
        malformed(QStringLiteral("it is not a JSON object"));
    const QJsonObject o = document.object();
    const QJsonValue version = o.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != double(version.toInteger()))
        malformed(QStringLiteral("the %1 has no version number").arg(QLatin1String(what)));
    if (version.toInteger() != RemoteProtocolVersion)
        throw RemoteProtocolError(
            RemoteRefusal::Version,
            QStringLiteral("protocol version %1 is unknown here (version %2 is spoken)")
                .arg(version.toInteger())
                .arg(RemoteProtocolVersion));
    return o;
}

bool optionalBool(const QJsonObject& o, const QString& name)
{
    const QJsonValue v = o.value(name);
    if (v.isUndefined())
        return false;
    if (!v.isBool())
        malformed(QStringLiteral("\"%1\" is not true or false").arg(name));
    return v.toBool();
}

const char* refusalName(RemoteRefusal refusal)
{
    switch (refusal) {
    case RemoteRefusal::None:
        return "";
    case RemoteRefusal::TooLarge:
        return "too-large";
    case RemoteRefusal::Malformed:
        return "malformed";
    case RemoteRefusal::Version:
        return "version";
    case RemoteRefusal::NotHeld:
        return "not-held";
    }
    return "";
}

} // namespace

QByteArray EncodeRemoteRequest(const RemoteRequest& request)
{
    QJsonArray arguments;
    for (const QString& a : request.arguments)
        arguments.append(textValue(a));
    QJsonObject o{
        {QStringLiteral("version"), RemoteProtocolVersion},
        {QStringLiteral("list"), textValue(request.list)},
        {QStringLiteral("arguments"), arguments},
        {QStringLiteral("terminal"),
         QJsonObject{{QStringLiteral("isTerminal"), request.terminal.isTerminal},
                     {QStringLiteral("columns"), request.terminal.columns},
                     {QStringLiteral("noColor"), request.terminal.noColor},
                     {QStringLiteral("dumb"), request.terminal.dumb}}},
    };
    if (!request.answered.isEmpty())
        o.insert(QStringLiteral("answered"), textValue(request.answered));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

RemoteRequest DecodeRemoteRequest(const QByteArray& json)
{
    const QJsonObject o = messageObject(json, "request");
    RemoteRequest request;
    request.list = requiredText(o, QStringLiteral("list"));
    if (request.list.isEmpty())
        malformed(QStringLiteral("\"list\" is empty"));
    const QJsonValue arguments = o.value(QStringLiteral("arguments"));
    if (!arguments.isArray() || arguments.toArray().isEmpty())
        malformed(QStringLiteral("\"arguments\" is missing or empty"));
    for (const QJsonValue& a : arguments.toArray()) {
        QString text;
        if (!readText(a, text))
            malformed(QStringLiteral("an argument is not a text"));
        request.arguments.append(text);
    }
    const QJsonValue terminal = o.value(QStringLiteral("terminal"));
    if (!terminal.isUndefined()) {
        if (!terminal.isObject())
            malformed(QStringLiteral("\"terminal\" is not an object"));
        const QJsonObject t = terminal.toObject();
        request.terminal.isTerminal = optionalBool(t, QStringLiteral("isTerminal"));
        request.terminal.noColor = optionalBool(t, QStringLiteral("noColor"));
        request.terminal.dumb = optionalBool(t, QStringLiteral("dumb"));
        const QJsonValue columns = t.value(QStringLiteral("columns"));
        if (!columns.isUndefined()) {
            const qint64 n = columns.toInteger(-1);
            if (!columns.isDouble() || n < 0 || n > 100000)
                malformed(QStringLiteral("\"columns\" is not a terminal width"));
            request.terminal.columns = int(n);
        }
    }
    request.answered = optionalText(o, QStringLiteral("answered"));
    return request;
}

QByteArray EncodeRemoteAnswer(const RemoteAnswer& answer)
{
    QJsonObject o{{QStringLiteral("version"), RemoteProtocolVersion},
                  {QStringLiteral("status"), answer.status},
                  {QStringLiteral("out"), textValue(answer.out)},
                  {QStringLiteral("err"), textValue(answer.err)}};
    if (!answer.question.isEmpty())
        o.insert(QStringLiteral("question"), textValue(answer.question));
    if (answer.refused != RemoteRefusal::None)
        o.insert(QStringLiteral("refused"), QLatin1String(refusalName(answer.refused)));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

RemoteAnswer DecodeRemoteAnswer(const QByteArray& json)
{
    const QJsonObject o = messageObject(json, "answer");
    RemoteAnswer answer;
    const QJsonValue status = o.value(QStringLiteral("status"));
    if (!status.isDouble() || status.toInteger(-1) < 0 || status.toInteger(-1) > 255)
        malformed(QStringLiteral("\"status\" is not an exit status"));
    answer.status = int(status.toInteger());
    answer.out = requiredText(o, QStringLiteral("out"));
    answer.err = requiredText(o, QStringLiteral("err"));
    answer.question = optionalText(o, QStringLiteral("question"));
    const QString refused = o.value(QStringLiteral("refused")).toString();
    for (RemoteRefusal r : {RemoteRefusal::TooLarge, RemoteRefusal::Malformed,
                            RemoteRefusal::Version, RemoteRefusal::NotHeld})
        if (refused == QLatin1String(refusalName(r)))
            answer.refused = r;
    return answer;
}

RemoteAnswer RefusedRemoteAnswer(RemoteRefusal refusal, const QString& reason)
{
    RemoteAnswer answer;
    answer.status = 1;
    answer.err = QStringLiteral("qmtd: %1\n").arg(reason);
    answer.refused = refusal;
    return answer;
}
