// SPDX-License-Identifier: MIT
// A process killed while it writes the instance cache leaves the last good list or the new one,
// never a broken file.
#include "instances/instancelist.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;
using namespace vireo;

namespace {

// Large enough that a write takes a while: the kill has something to interrupt.
QByteArray directory(int variant)
{
    QByteArray json = "[";
    for (int i = 0; i < 30000; ++i)
        json += (i ? "," : "") + u"[\"inv%1-%2.example\",{\"api\":true,\"type\":\"https\",\"uri\":\"https://inv%1.example\",\"monitor\":{\"uptime\":%2}}]"_s
                                     .arg(i).arg(variant).toUtf8();
    return json + ']';
}

QString cacheFile(const QString &root)
{
    return root + u"/Vireo/instances.json"_s;
}

// Rewrites the cache, alternating two lists, until killed.
int writer(const QString &root)
{
    const QList<Instance> lists[] = {*InstanceList::parseDirectory(directory(1)), *InstanceList::parseDirectory(directory(2))};
    for (int round = 0;; ++round)
        InstanceList::store(cacheFile(root), lists[round % 2]);
}

} // namespace

class TestCacheDurability : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedMidWrite();
};

void TestCacheDurability::killedMidWrite()
{
    QTemporaryDir root;
    const QList<Instance> first = *InstanceList::parseDirectory(directory(1));
    const QList<Instance> second = *InstanceList::parseDirectory(directory(2));
    QVERIFY(QDir().mkpath(root.path() + u"/Vireo"_s));
    QFile seed(cacheFile(root.path()));
    QVERIFY(seed.open(QIODevice::WriteOnly));
    seed.write(*Instance::encode(first));
    seed.close();

    int sawSecond = 0;
    for (int round = 0; round < 20; ++round) {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), {u"--writer"_s, root.path()});
        QVERIFY(process.waitForStarted());
        QTest::qWait(300 + QRandomGenerator::global()->bounded(300));
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished());

        QFile file(cacheFile(root.path()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto list = Instance::decode(file.readAll());
        QVERIFY2(list, qPrintable(u"round %1: the cache no longer decodes"_s.arg(round)));
        QVERIFY(*list == first || *list == second);
        sawSecond += *list == second;
    }
    qInfo("%d of 20 kills left the newer list", sawSecond);
    // Nothing half-written is left lying beside it either.
    QCOMPARE(QDir(root.path() + u"/Vireo"_s).entryList(QDir::Files), QStringList{u"instances.json"_s});
}

int main(int argc, char *argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--writer") {
        QCoreApplication app(argc, argv);
        return writer(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestCacheDurability test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cachedurability.moc"
