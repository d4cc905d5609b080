// SPDX-License-Identifier: MIT
#include "dashmanifest.h"

#include "net/http.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace vireo::DashManifest {
namespace {

struct Representation {
    int set = -1; // its AdaptationSet, in document order
    QString kind; // "video" or "audio"
    QString codecs;
    int height = 0;
    qint64 bandwidth = 0;
    bool addressed = false; // has an http(s) BaseURL
};

// "FROM-TO" with FROM <= TO, as byte ranges are written; nothing absurd.
bool validRange(const QString &range)
{
    static const QRegularExpression form(u"^(\\d{1,15})-(\\d{1,15})$"_s);
    const auto match = form.match(range);
    return match.hasMatch() && match.capturedView(1).toLongLong() <= match.capturedView(2).toLongLong();
}

// The first codec prefix `codecs` begins with, by its place in `preferred`; -1 for none.
int rank(const QString &codecs, const QStringList &preferred)
{
    for (qsizetype i = 0; i < preferred.size(); ++i)
        if (codecs.startsWith(preferred[i]))
            return int(i);
    return -1;
}

QString kind(const QXmlStreamAttributes &attributes, const QString &inherited)
{
    const QString mime = attributes.value(u"mimeType"_s).toString(), content = attributes.value(u"contentType"_s).toString();
    if (mime.startsWith(u"video/"_s) || content == u"video"_s)
        return u"video"_s;
    if (mime.startsWith(u"audio/"_s) || content == u"audio"_s)
        return u"audio"_s;
    return inherited;
}

// Reads every representation; nothing when the XML is broken or a byte range cannot be.
std::optional<QList<Representation>> survey(const QByteArray &mpd, const QUrl &url)
{
    QList<Representation> found;
    QXmlStreamReader xml(mpd);
    int sets = 0;
    QString setKind, setCodecs;
    int setHeight = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QString &range : {u"range"_s, u"indexRange"_s, u"mediaRange"_s})
            if (attributes.hasAttribute(range) && !validRange(attributes.value(range).toString()))
                return std::nullopt;
        if (name == u"AdaptationSet"_s) {
            ++sets;
            setKind = kind(attributes, {});
            setCodecs = attributes.value(u"codecs"_s).toString();
            setHeight = attributes.value(u"height"_s).toInt();
        } else if (name == u"Representation"_s) {
            const QString codecs = attributes.value(u"codecs"_s).toString();
            found.append({sets - 1, kind(attributes, setKind), codecs.isEmpty() ? setCodecs : codecs,
                          attributes.hasAttribute(u"height"_s) ? attributes.value(u"height"_s).toInt() : setHeight,
                          attributes.value(u"bandwidth"_s).toLongLong(), false});
        } else if (name == u"BaseURL"_s && !found.isEmpty()) {
            found.last().addressed |= Http::isWebUrl(url.resolved(QUrl(xml.readElementText().trimmed())));
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return found;
}

} // namespace

std::optional<Rewritten> rewrite(const QByteArray &mpd, const QUrl &url, int maxHeight,
                                 const QStringList &videoCodecs, const QStringList &audioCodecs)
{
    const auto representations = survey(mpd, url);
    if (!representations)
        return std::nullopt;
    // The best of each kind, by index.
    qsizetype video = -1, audio = -1;
    const auto better = [&](const Representation &r, qsizetype best, const QStringList &codecs, bool tall) {
        if (best < 0)
            return true;
        const Representation &b = (*representations)[best];
        const auto key = [&](const Representation &x) { return std::tuple(tall ? x.height : 0, -rank(x.codecs, codecs), x.bandwidth); };
        return key(r) > key(b);
    };
    for (qsizetype i = 0; i < representations->size(); ++i) {
        const Representation &r = (*representations)[i];
        if (r.set < 0 || !r.addressed)
            continue;
        if (r.kind == u"video"_s && r.height > 0 && r.height <= maxHeight && rank(r.codecs, videoCodecs) >= 0
            && better(r, video, videoCodecs, true))
            video = i;
        else if (r.kind == u"audio"_s && rank(r.codecs, audioCodecs) >= 0 && better(r, audio, audioCodecs, false))
            audio = i;
    }
    if (video < 0 || audio < 0)
        return std::nullopt;

    // Everything copied as it stands but the representations not kept (and their sets), with every
    // address made absolute.
    const QList<int> keptSets = {(*representations)[video].set, (*representations)[audio].set};
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument();
    QXmlStreamReader xml(mpd);
    qsizetype representation = -1;
    int set = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"BaseURL"_s) {
                // Addresses of other kinds are left out; each kept representation has one of ours.
                const QUrl address = url.resolved(QUrl(xml.readElementText().trimmed()));
                if (Http::isWebUrl(address)) {
                    writer.writeStartElement(xml.qualifiedName().toString());
                    writer.writeCharacters(address.toString(QUrl::FullyEncoded));
                    writer.writeEndElement();
                }
                continue;
            }
            const bool skip = (name == u"AdaptationSet"_s && !keptSets.contains(++set))
                || (name == u"Representation"_s && ++representation != video && representation != audio);
            if (skip) {
                // Its representations still count, so that the indices stay those of the survey.
                if (name == u"AdaptationSet"_s) {
                    for (int depth = 1; depth > 0 && !xml.atEnd();) {
                        xml.readNext();
                        if (xml.isStartElement() && xml.name() == u"Representation"_s)
                            ++representation;
                        depth += xml.isStartElement() ? 1 : xml.isEndElement() ? -1 : 0;
                    }
                } else {
                    xml.skipCurrentElement();
                }
                continue;
            }
            writer.writeStartElement(xml.qualifiedName().toString());
            for (const QXmlStreamNamespaceDeclaration &ns : xml.namespaceDeclarations())
                writer.writeAttribute(ns.prefix().isEmpty() ? u"xmlns"_s : u"xmlns:"_s + ns.prefix().toString(), ns.namespaceUri().toString());
            for (const QXmlStreamAttribute &attribute : xml.attributes())
                writer.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
        } else if (xml.isEndElement()) {
            writer.writeEndElement();
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            writer.writeCharacters(xml.text().toString());
        }
    }
    if (xml.hasError())
        return std::nullopt;
    writer.writeEndDocument();
    return Rewritten{out, (*representations)[video].height};
}

} // namespace vireo::DashManifest
