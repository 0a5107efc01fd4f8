// upvane-demo-walk: walks the running wizard through an upgrade on the X display
// it runs on and saves a screenshot of every page it reaches.
//
//   upvane-demo-walk --shots DIR [--timeout SECONDS] [--no-finish] [--overview FILE]
//
// --overview also writes all pages reached, scaled to a third, side by side
// three in a row, into one picture.
// Prints the pages in the order it reached them; exits 0 when it ended on the
// success page or back on the information page after a failure, 1 otherwise.
#include "WizardWalker.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTextStream>

namespace {

void writeOverview(const QVector<WizardWalker::Visit> &visits, const QString &path)
{
    const QSize tile(1000 / 3, 720 / 3);
    const int gap = 6;
    const int columns = 3;
    const int rows = (int(visits.size()) + columns - 1) / columns;
    QImage sheet(columns * tile.width() + (columns + 1) * gap, rows * tile.height() + (rows + 1) * gap,
                 QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < visits.size(); ++i) {
        const QPoint at(gap + (i % columns) * (tile.width() + gap), gap + (i / columns) * (tile.height() + gap));
        painter.drawImage(QRect(at, tile), visits[i].shot);
    }
    painter.end();
    sheet.save(path);
}

}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    WizardWalker::WalkOptions options;
    QString overview;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--shots") && i + 1 < args.size())
            options.shotsDir = args[++i];
        else if (args[i] == QLatin1String("--timeout") && i + 1 < args.size())
            options.timeoutMs = args[++i].toInt() * 1000;
        else if (args[i] == QLatin1String("--overview") && i + 1 < args.size())
            overview = args[++i];
        else if (args[i] == QLatin1String("--no-finish"))
            options.finish = false;
    }

    WizardWalker walker(QGuiApplication::primaryScreen());
    // Wait for the wizard's first frame before the walk begins.
    walker.waitForPage(WizardWalker::Page::Start, 30000);
    const QVector<WizardWalker::Visit> visits = walker.walk(options);

    QTextStream out(stdout);
    for (const WizardWalker::Visit &visit : visits)
        out << visit.label() << Qt::endl;
    if (visits.isEmpty())
        return 1;
    if (!overview.isEmpty())
        writeOverview(visits, overview);
    const WizardWalker::Page last = visits.last().page;
    return last == WizardWalker::Page::Success || last == WizardWalker::Page::Information ? 0 : 1;
}
