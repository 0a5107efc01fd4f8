// The Windows program under Wine, end to end: the shipped layout copied into a
// prefix of its own (no path to the toolchain), real clicks and screenshots on
// the test's Xvfb.
#include "../common/CoverWindow.h"
#include "../common/TextFiles.h"
#include "PictureMatch.h"
#include "WinePrefix.h"
#include "WizardWalker.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtTest>

namespace {

const QString kProgramDir = QStringLiteral("C:/Upvane");

// The wizard's program folder in a Wine prefix of its own.
class WineWizard
{
public:
    explicit WineWizard(const QString &config = QStringLiteral("deviceFW_Ver=V1.1.107\nu_Code_Ver=V1.1.104\n"))
    {
        m_ready = wine.isValid() && wine.copyFolder(WinePrefix::installedLayout(), kProgramDir)
            && TextFiles::write(programDir() + QStringLiteral("/config.ini"), config);
    }
    ~WineWizard()
    {
        wine.stop();
        process.waitForFinished(10000);
    }

    bool isReady() const { return m_ready; }
    QString programDir() const { return wine.unixPath(kProgramDir); }
    QString program() const { return kProgramDir + QStringLiteral("/upvane.exe"); }
    void start(const QProcessEnvironment &extra = {})
    {
        wine.prepare(process, program(), {}, extra);
        process.start();
    }
    QString output() { return QString::fromLocal8Bit(process.readAll()); }

    WinePrefix wine;
    QProcess process;

private:
    bool m_ready = false;
};

// The Linux rendering of the start page (from a demo run, docs/screenshots).
QImage linuxStartPage()
{
    return QImage(QStringLiteral(UPVANE_SOURCE_DIR "/docs/screenshots/upgrade/01-start.png")).convertToFormat(QImage::Format_RGB32);
}

// `shot` as it would look with a fault: the background picture missing, the
// layout shifted, the title in another font.
QImage withFault(const QImage &shot, const QString &fault)
{
    QImage image = shot;
    QPainter painter(&image);
    if (fault == QLatin1String("no picture")) {
        painter.fillRect(QRect(0, 32, 1000, 688), Qt::white);
        painter.drawImage(QRect(40, 360, 420, 264), shot, QRect(40, 360, 420, 264));
    } else if (fault == QLatin1String("shifted")) {
        painter.fillRect(image.rect(), Qt::black);
        painter.drawImage(QPoint(3, 3), shot);
    } else if (fault == QLatin1String("other font")) {
        // The two texts in a common fallback font, over the background from
        // further right (no white there).
        painter.drawImage(QRect(40, 440, 420, 110), shot, QRect(340, 440, 420, 110));
        painter.setPen(Qt::white);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(40);
        painter.setFont(font);
        painter.drawText(QRect(60, 452, 400, 60), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Upvane"));
        font.setPixelSize(20);
        painter.setFont(font);
        painter.drawText(QRect(60, 512, 400, 30), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("RT48PX  Version 1.1.107"));
    }
    return image;
}

}

class tst_WineWizard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString reason = WinePrefix::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
    }

    void startPageLooksLikeOnLinux()
    {
        WineWizard wizard;
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        wizard.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QImage shot;
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000, &shot), qPrintable(wizard.output()));

        // Every DLL it runs on comes from its own folder or from Windows itself:
        // the copy of the shipped layout is complete.
        const QStringList dlls = wizard.wine.loadedDlls(QStringLiteral("upvane.exe"));
        QVERIFY(dlls.contains(wizard.programDir() + QStringLiteral("/Qt5Quick.dll")));
        QVERIFY(dlls.contains(wizard.programDir() + QStringLiteral("/platforms/qwindows.dll")));
        for (const QString &dll : dlls) {
            QVERIFY2(dll.startsWith(wizard.programDir() + QLatin1Char('/'))
                         || dll.startsWith(wizard.wine.driveC() + QStringLiteral("/windows/"))
                         || (dll.startsWith(QStringLiteral("/usr/lib/")) && dll.contains(QLatin1String("/wine/"))),
                     qPrintable(dll));
        }

        // The page settles (the font, the version text) before it is compared.
        const QImage reference = linuxStartPage();
        QVERIFY(!reference.isNull());
        walker.waitFor([&](const QImage &s) { return PictureMatch::startPageFaults(reference, s).isEmpty(); }, 10000, &shot);
        shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/wine-start-page.png"));
        QVERIFY2(PictureMatch::startPageFaults(reference, shot).isEmpty(),
                 qPrintable(PictureMatch::startPageFaults(reference, shot).join(QStringLiteral("; "))));

        // The comparison is strict enough to notice what would go wrong.
        for (const QString &fault : {QStringLiteral("no picture"), QStringLiteral("shifted"), QStringLiteral("other font")})
            QVERIFY2(!PictureMatch::startPageFaults(reference, withFault(shot, fault)).isEmpty(), qPrintable(fault));
    }

    void secondStartBringsTheWindowBack()
    {
        WineWizard wizard;
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        wizard.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000), qPrintable(wizard.output()));

        CoverWindow cover;
        cover.setGeometry(QGuiApplication::primaryScreen()->geometry());
        cover.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cover));
        QVERIFY(walker.waitFor([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Unknown; }, 10000));

        // The second start finds the first through its named pipe, hands over
        // and exits with code 0; the first comes to the front.
        QProcess later;
        wizard.wine.prepare(later, wizard.program(), {QStringLiteral("again")});
        later.start();
        QVERIFY(later.waitForFinished(60000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 15000), "the running wizard did not come to the front");
        QCOMPARE(wizard.process.state(), QProcess::Running);
        QCOMPARE(wizard.wine.processes(QStringLiteral("upvane.exe")).size(), 1);
    }
};

QTEST_MAIN(tst_WineWizard)
#include "tst_winewizard.moc"
