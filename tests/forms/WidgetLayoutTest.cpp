#include "forms/WidgetLayout.h"

#include "forms/CDDesigns.h"
#include "forms/Twips.h"
#include "support/QtTestMain.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace pelorix::test {

class WidgetLayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A window laid out in twips as the windows are: its controls follow a resize in pixels of
    // the screen and come back exactly when it is restored.
    void controlsFollowTheWindowInPixelsOfTheScreen() {
        QWidget window;
        // Twips become pixels by the screen's logical DPI; the offscreen screen reports 96.
        QCOMPARE(twipsPerPixelX(window), 1440.0 / window.logicalDpiX());
        const double tx = twipsPerPixelX(window);
        const double ty = twipsPerPixelY(window);
        resizeTwips(window, 11175, 7215);
        QCOMPARE(window.size(), QSize(qRound(11175 / tx), qRound(7215 / ty)));

        auto* list = new QListWidget(&window);
        list->setObjectName(QStringLiteral("lstLog"));
        setTwipsGeometry(*list, 60, 60, 11000, 6300);
        auto* panel = new QWidget(&window);
        panel->setObjectName(QStringLiteral("picButton"));
        setTwipsGeometry(*panel, 8000, 6500, 3000, 600);
        auto* button = new QPushButton(panel);
        button->setObjectName(QStringLiteral("cmdFunction_0"));
        setTwipsGeometry(*button, 1500, 60, 1400, 450);
        const QRect listAtStart = list->geometry();
        const QRect panelAtStart = panel->geometry();

        CDDesigns designs;
        setDesignForm(designs, window);
        addWidgetDesign(designs, *list, LayoutKind::StretchBoth);
        addWidgetDesign(designs, *panel, LayoutKind::KeepRightBottom);
        QCOMPARE(designs.GetDesign("picButton").Left(), qRound(panelAtStart.x() * tx));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        window.resize(window.width() + 40, window.height() + 100);
        moveDesigns(designs, window);
        QCOMPARE(list->geometry(), listAtStart.adjusted(0, 0, 40, 100));
        QCOMPARE(panel->geometry(), panelAtStart.translated(40, 100));
        // The button inside the panel moves with it and is not laid out itself.
        QCOMPARE(button->pos(), QPoint(qRound(1500 / tx), qRound(60 / ty)));

        // Smaller than the list can shrink: it keeps its last size; the panel still follows.
        const QRect listLast = list->geometry();
        window.resize(4, window.height());
        moveDesigns(designs, window);
        QCOMPARE(list->geometry(), listLast);
        QCOMPARE(panel->x(), panelAtStart.x() + window.width() - qRound(11175 / tx));

        resizeTwips(window, 11175, 7215);
        moveDesigns(designs, window);
        QCOMPARE(list->geometry(), listAtStart);
        QCOMPARE(panel->geometry(), panelAtStart);
    }

    // A control destroyed after its registration is passed over; the others still move.
    void aDestroyedControlIsPassedOver() {
        QWidget window;
        window.resize(400, 300);
        auto* gone = new QWidget(&window);
        gone->setObjectName(QStringLiteral("fraGone"));
        auto* kept = new QWidget(&window);
        kept->setObjectName(QStringLiteral("lblKept"));
        kept->setGeometry(300, 250, 80, 20);
        CDDesigns designs;
        setDesignForm(designs, window);
        addWidgetDesign(designs, *gone, LayoutKind::StretchBoth);
        addWidgetDesign(designs, *kept, LayoutKind::KeepRightBottom);
        delete gone;
        window.resize(420, 310);
        moveDesigns(designs, window);
        QCOMPARE(kept->pos(), QPoint(320, 260));
    }
};

} // namespace pelorix::test

PELORIX_QTEST_MAIN(pelorix::test::WidgetLayoutTest)
#include "WidgetLayoutTest.moc"
