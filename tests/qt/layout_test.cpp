// The built-in dialog layouts and the layout file format.
#include <QTest>

#include "platform/qt/dialog_layout.h"

using quillet::ControlKind;
using quillet::DialogLayouts;
using quillet::LayoutControl;
using quillet::LayoutDialog;
using quillet::LayoutRect;

Q_DECLARE_METATYPE(LayoutRect)

namespace {

bool operator==(const LayoutRect& a, const LayoutRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void everyDialogHasItsSizeAndFont_data();
    void everyDialogHasItsSizeAndFont();
    void fieldsHaveTheirRectangles_data();
    void fieldsHaveTheirRectangles();
    void buttonsStandAtTheRightEdge_data();
    void buttonsStandAtTheRightEdge();
    void okIsTheOnlyDefaultButton();
    void textsPrecedeButtonsInTabOrder();
    void selectionPageIsVisibleWithTaskbarButtonAndOffersDriverCommands();
    void aboutBoxHoldsIconAndFixedTexts();
    void malformedFilesAreRefused_data();
    void malformedFilesAreRefused();
    void quotedTextsKeepSpacesAndEscapes();
    void dialogUnitsRoundLikeMulDiv();
};

void LayoutTest::everyDialogHasItsSizeAndFont_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("AboutBox") << 100 << 235 << 78;
    for (int id : {102, 129, 130, 132, 133, 137, 138, 139, 140}) {
        QTest::addRow("page %d", id) << id << 320 << 200;
    }
}

void LayoutTest::everyDialogHasItsSizeAndFont() {
    QFETCH(int, dialog);
    QFETCH(int, width);
    QFETCH(int, height);
    const LayoutDialog* layout = DialogLayouts::Builtin().Find(dialog);
    QVERIFY(layout);
    QCOMPARE(layout->width, width);
    QCOMPARE(layout->height, height);
    QCOMPARE(layout->fontFace, std::string("MS Sans Serif"));
    QCOMPARE(layout->fontPoints, 8);
}

void LayoutTest::fieldsHaveTheirRectangles_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QList<int>>("ids");  // top to bottom, as laid out
    QTest::addColumn<QList<LayoutRect>>("rects");
    auto row = [](const char* name, int dialog, QList<int> ids, QList<LayoutRect> rects) {
        QTest::newRow(name) << dialog << ids << rects;
    };
    row("welcome", 140, {931, 932}, {{16, 16, 209, 24}, {16, 46, 242, 32}});
    row("select", 102, {811, 900, 812},
        {{16, 16, 238, 20}, {16, 48, 238, 119}, {16, 172, 238, 20}});
    row("test print ready", 129, {822, 821, 823},
        {{16, 16, 241, 30}, {16, 54, 241, 25}, {16, 88, 241, 30}});
    row("test print wait", 130, {831, 832}, {{16, 16, 240, 24}, {16, 47, 240, 24}});
    row("download ready", 132, {851}, {{16, 16, 241, 77}});
    row("download", 133, {861, 862, 863},
        {{16, 16, 242, 40}, {16, 62, 242, 40}, {16, 109, 242, 32}});
    row("complete", 137, {901}, {{16, 16, 239, 91}});
    row("driver start", 138, {911}, {{16, 16, 238, 32}});
    row("driver run", 139, {921}, {{16, 16, 238, 32}});
}

void LayoutTest::fieldsHaveTheirRectangles() {
    QFETCH(int, dialog);
    QFETCH(QList<int>, ids);
    QFETCH(QList<LayoutRect>, rects);
    const LayoutDialog* layout = DialogLayouts::Builtin().Find(dialog);
    QVERIFY(layout);
    QList<int> fields;
    for (const LayoutControl& control : layout->controls) {
        if (control.kind == ControlKind::Text || control.kind == ControlKind::List) {
            fields.push_back(control.id);
        }
    }
    QCOMPARE(fields, ids);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const LayoutControl* control = layout->Control(ids[i]);
        QVERIFY(control->rect == rects[i]);
        QCOMPARE(control->kind == ControlKind::List, ids[i] == 900);
    }
}

void LayoutTest::buttonsStandAtTheRightEdge_data() {
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("welcome") << 140 << QStringList{"OK"};
    QTest::newRow("select") << 102 << QStringList{"OK", "Cancel"};
    QTest::newRow("test print ready") << 129 << QStringList{"OK", "Cancel"};
    QTest::newRow("test print wait") << 130 << QStringList{"OK", "Cancel", "&Retry"};
    QTest::newRow("download ready") << 132 << QStringList{"OK", "Cancel"};
    QTest::newRow("download") << 133 << QStringList{"OK"};
    QTest::newRow("complete") << 137 << QStringList{"OK"};
    QTest::newRow("driver start") << 138 << QStringList{"OK", "Cancel"};
    QTest::newRow("driver run") << 139 << QStringList{"OK"};
}

void LayoutTest::buttonsStandAtTheRightEdge() {
    QFETCH(int, dialog);
    QFETCH(QStringList, labels);
    const LayoutDialog* layout = DialogLayouts::Builtin().Find(dialog);
    QVERIFY(layout);
    const int ids[] = {1, 2, 1020};
    const int tops[] = {7, 24, 41};
    QStringList found;
    for (const LayoutControl& control : layout->controls) {
        if (control.kind == ControlKind::Button) {
            found.push_back(QString::fromStdString(control.text));
        }
    }
    QCOMPARE(found, labels);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const LayoutControl* button = layout->Control(ids[i]);
        QVERIFY(button);
        QVERIFY((button->rect == LayoutRect{263, tops[i], 50, 14}));
    }
}

void LayoutTest::okIsTheOnlyDefaultButton() {
    for (const LayoutDialog& layout : DialogLayouts::Builtin().All()) {
        for (const LayoutControl& control : layout.controls) {
            QCOMPARE(control.isDefault, control.kind == ControlKind::Button && control.id == 1);
        }
    }
}

void LayoutTest::textsPrecedeButtonsInTabOrder() {
    // The first control that takes the focus is the list on the selection
    // page and OK on every other page.
    for (const LayoutDialog& layout : DialogLayouts::Builtin().All()) {
        const LayoutControl* firstFocusable = nullptr;
        for (const LayoutControl& control : layout.controls) {
            if (control.kind == ControlKind::List || control.kind == ControlKind::Button) {
                firstFocusable = &control;
                break;
            }
        }
        QVERIFY(firstFocusable);
        QCOMPARE(firstFocusable->id, layout.id == 102 ? 900 : 1);
    }
}

void LayoutTest::selectionPageIsVisibleWithTaskbarButtonAndOffersDriverCommands() {
    for (const LayoutDialog& layout : DialogLayouts::Builtin().All()) {
        QCOMPARE(layout.visibleWhenCreated, layout.id == 102);
        QCOMPARE(layout.appWindow, layout.id == 102);
        QCOMPARE(layout.menuCommands.empty(), layout.id != 102);
    }
    const LayoutDialog* select = DialogLayouts::Builtin().Find(102);
    QCOMPARE(select->menuCommands.size(), std::size_t(2));
    QCOMPARE(select->menuCommands[0].id, 1017);
    QCOMPARE(select->menuCommands[0].shortcut, std::string("Ctrl+I"));
    QCOMPARE(select->menuCommands[1].id, 1018);
    QCOMPARE(select->menuCommands[1].shortcut, std::string("F5"));
}

void LayoutTest::aboutBoxHoldsIconAndFixedTexts() {
    const LayoutDialog* about = DialogLayouts::Builtin().Find(100);
    QVERIFY(about);
    QCOMPARE(about->caption, std::string("About Quillet"));
    QCOMPARE(about->controls.size(), std::size_t(5));
    const LayoutControl& icon = about->controls[0];
    QCOMPARE(icon.kind, ControlKind::Icon);
    QCOMPARE(icon.iconId, 128);
    QVERIFY((icon.rect == LayoutRect{11, 17, 20, 20}));
    QCOMPARE(about->controls[1].text, std::string("Tarvane Nimbrel K7"));
    QVERIFY((about->controls[1].rect == LayoutRect{40, 10, 119, 8}));
    QCOMPARE(about->controls[2].text, std::string("Firmware Upgrade v. 1.5"));
    QVERIFY((about->controls[2].rect == LayoutRect{40, 22, 119, 8}));
    QVERIFY(!about->controls[3].text.empty());
    QVERIFY((about->controls[3].rect == LayoutRect{40, 34, 119, 8}));
    QVERIFY((about->Control(1)->rect == LayoutRect{178, 7, 50, 14}));
}

void LayoutTest::malformedFilesAreRefused_data() {
    QTest::addColumn<QString>("content");
    QTest::newRow("unterminated quote") << "dialog 1 A 10 10 \"Face 8 \"c\"\nend\n";
    QTest::newRow("no end") << "dialog 1 A 10 10 \"Face\" 8 \"c\"\n";
    QTest::newRow("control outside") << "text 5 1 1 1 1\n";
    QTest::newRow("bad number") << "dialog 1 A 1O 10 \"Face\" 8 \"c\"\nend\n";
    QTest::newRow("unknown kind") << "dialog 1 A 10 10 \"Face\" 8 \"c\"\nslider 1 1 1 1 1\nend\n";
    QTest::newRow("duplicate id")
        << "dialog 1 A 10 10 \"F\" 8 \"c\"\ntext 5 1 1 1 1\ntext 5 1 1 1 1\nend\n";
    QTest::newRow("duplicate dialog")
        << "dialog 1 A 10 10 \"F\" 8 \"c\"\nend\ndialog 1 B 10 10 \"F\" 8 \"c\"\nend\n";
    QTest::newRow("button without label")
        << "dialog 1 A 10 10 \"F\" 8 \"c\"\nbutton 1 1 1 1 1\nend\n";
    QTest::newRow("unknown flag") << "dialog 1 A 10 10 \"F\" 8 \"c\" hidden\nend\n";
}

void LayoutTest::malformedFilesAreRefused() {
    QFETCH(QString, content);
    DialogLayouts layouts;
    std::string error;
    QVERIFY(!layouts.AddFile(content.toStdString(), &error));
    QVERIFY(error.starts_with("line "));
}

void LayoutTest::quotedTextsKeepSpacesAndEscapes() {
    DialogLayouts layouts;
    std::string error;
    QVERIFY2(layouts.AddFile("# comment\n\ndialog 7 Seven 30 40 \"Some Face\" 9 \"Cap\"\n"
                             "text -1 1 2 3 4 \"two  spaces \\\"quoted\\\"\"\n"
                             "end\n",
                             &error),
             error.c_str());
    const LayoutDialog* seven = layouts.Find(7);
    QVERIFY(seven);
    QCOMPARE(seven->fontFace, std::string("Some Face"));
    QCOMPARE(seven->fontPoints, 9);
    QCOMPARE(seven->controls.at(0).text, std::string("two  spaces \"quoted\""));
    QVERIFY(!layouts.Find(8));
}

void LayoutTest::dialogUnitsRoundLikeMulDiv() {
    QCOMPARE(quillet::MulDivRound(320, 6, 4), 480);
    QCOMPARE(quillet::MulDivRound(7, 13, 8), 11);  // 11.375
    QCOMPARE(quillet::MulDivRound(5, 3, 2), 8);    // 7.5 rounds up
    QCOMPARE(quillet::MulDivRound(-5, 3, 2), -8);
    QCOMPARE(quillet::MulDivRound(1, 1, 0), -1);
    const quillet::DialogBaseUnits units{6, 13};
    QCOMPARE(units.ToPixelsX(320), 480);
    QCOMPARE(units.ToPixelsY(200), 325);
}

QTEST_APPLESS_MAIN(LayoutTest)
#include "layout_test.moc"
