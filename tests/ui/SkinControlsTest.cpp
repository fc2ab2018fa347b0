#include "ui/CSkin.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinLayout.h"
#include "ui/CSkinNumText.h"
#include "ui/CSkinPicture.h"
#include "ui/CSkinPosManage.h"
#include "ui/CSkinSlider.h"

#include "tests/common/TestUtil.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

QString SkinFolder() { return testutil::SourceDir() + "/resources/skin/"; }

struct Layout {
    QTemporaryDir dir;
    CSkinPosManage pos;
    Layout()
    {
        testutil::WriteFile(dir.filePath("pos.xml"),
                            "<layout><wnd id=\"50\">"
                            "<ctrl id=\"50\" width=\"400\" height=\"300\"/>"
                            "<ctrl id=\"51\" x=\"10\" y=\"10\" width=\"28\" height=\"28\" aligntype=\"0\" name=\"btn_close.bmp\"/>"
                            "<ctrl id=\"52\" x=\"40\" y=\"30\" width=\"28\" height=\"28\" aligntype=\"3\" name=\"btn_min.bmp\"/>"
                            "<ctrl id=\"53\" x=\"10\" y=\"50\" width=\"200\" height=\"100\" aligntype=\"0\" stretch=\"3\"/>"
                            "<ctrl id=\"54\" x=\"50\" y=\"60\" width=\"20\" height=\"20\" aligntype=\"4\"/>"
                            "<ctrl id=\"55\" x=\"1\" y=\"1\" width=\"20\" height=\"20\" aligntype=\"9\"/>"
                            "</wnd></layout>");
        pos.Load(dir.filePath("pos.xml"));
    }
};

void Click(QWidget* w, QPoint at, QEvent::Type type)
{
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(SkinLayout, PlacesControlsByRecordAndFollowsTheWindowSize)
{
    StartSkin(SkinFolder(), 0);
    Layout layout;
    QWidget window;
    window.resize(400, 300);
    window.show(); // a hidden window gets its resize events only when shown
    CSkinLayout skinLayout(&window, 50, layout.pos);
    EXPECT_EQ(skinLayout.DesignSize(), QSize(400, 300));

    auto* close = skinLayout.Create<CSkinButton>(51);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->parentWidget(), &window);
    EXPECT_EQ(close->geometry(), QRect(10, 10, 28, 28));
    EXPECT_EQ(close->SkinName(), "btn_close.bmp");
    EXPECT_EQ(ControlId(close), 51);
    EXPECT_FALSE(close->isHidden());

    CSkinButton corner(&window);
    ASSERT_TRUE(skinLayout.Attach(52, &corner));
    EXPECT_EQ(corner.geometry(), QRect(360, 270, 28, 28));
    QLabel body(&window);
    ASSERT_TRUE(skinLayout.Attach(53, &body));
    EXPECT_EQ(body.geometry(), QRect(10, 50, 200, 100));
    QLabel percent(&window);
    ASSERT_TRUE(skinLayout.Attach(54, &percent));

    // Unknown ids and unknown align types leave controls as they were and make none.
    QLabel stray(&window);
    stray.setGeometry(1, 2, 3, 4);
    EXPECT_FALSE(skinLayout.Attach(999, &stray));
    EXPECT_FALSE(skinLayout.Attach(55, &stray));
    EXPECT_EQ(stray.geometry(), QRect(1, 2, 3, 4));
    EXPECT_EQ(ControlId(&stray), 0);
    EXPECT_EQ(skinLayout.Create<CSkinButton>(998), nullptr);

    window.resize(600, 420);
    QCoreApplication::processEvents();
    EXPECT_EQ(corner.geometry(), QRect(560, 390, 28, 28));
    EXPECT_EQ(body.geometry(), QRect(10, 50, 400, 220));
    EXPECT_EQ(percent.geometry().left(), 300);
    EXPECT_EQ(close->geometry(), QRect(10, 10, 28, 28));
    EXPECT_EQ(stray.geometry(), QRect(1, 2, 3, 4));
    EXPECT_EQ(skinLayout.Control(52), &corner);

    // A frame's margin moves everything in, as in a client rectangle.
    window.setContentsMargins(8, 6, 8, 10);
    QCoreApplication::processEvents();
    EXPECT_EQ(close->geometry(), QRect(18, 16, 28, 28));
    EXPECT_EQ(corner.geometry(), QRect(8 + 584 - 40, 6 + 404 - 30, 28, 28));
}

TEST(SkinButton, ShowsTheFrameOfItsState)
{
    StartSkin(SkinFolder(), 0);
    CSkinButton play;
    play.SetSkinName("btn_play.bmp"); // eight frames
    play.setCheckable(true);
    EXPECT_EQ(play.sizeHint(), QSize(48, 48));
    EXPECT_EQ(play.CurrentFrame(), 0);
    play.setDown(true);
    EXPECT_EQ(play.CurrentFrame(), 2);
    play.setDown(false);
    play.setChecked(true);
    EXPECT_EQ(play.CurrentFrame(), 4);
    play.setEnabled(false);
    EXPECT_EQ(play.CurrentFrame(), 7);

    CSkinButton close;
    close.SetSkinName("btn_close.bmp"); // four frames: checked shows the unchecked ones
    close.setCheckable(true);
    close.setChecked(true);
    EXPECT_EQ(close.CurrentFrame(), 0);
    close.setEnabled(false);
    EXPECT_EQ(close.CurrentFrame(), 3);

    CSkinButton none;
    none.SetSkinName("no_such.bmp");
    none.resize(20, 20);
    EXPECT_EQ(none.CurrentFrame(), 0);
    EXPECT_FALSE(none.grab().isNull()); // draws nothing, and does not fail
}

TEST(SkinSlider, PressJumpsToThePointAndDragsFromThere)
{
    StartSkin(SkinFolder(), 0);
    CSkinSlider slider;
    slider.SetSkinName("progress");
    slider.resize(214, 18); // 14-pixel thumb: 200 pixels of travel
    EXPECT_EQ(slider.ValueAt(QPoint(0, 9)), 0);
    EXPECT_EQ(slider.ValueAt(QPoint(7, 9)), 0);
    EXPECT_EQ(slider.ValueAt(QPoint(107, 9)), 50);
    EXPECT_EQ(slider.ValueAt(QPoint(500, 9)), 100);
    EXPECT_EQ(slider.ThumbCentre(100), 207);

    int released = 0;
    QObject::connect(&slider, &QAbstractSlider::sliderReleased, [&released] { ++released; });
    Click(&slider, QPoint(57, 9), QEvent::MouseButtonPress);
    EXPECT_TRUE(slider.isSliderDown());
    EXPECT_EQ(slider.value(), 25);
    Click(&slider, QPoint(157, 9), QEvent::MouseMove);
    EXPECT_EQ(slider.value(), 75);
    Click(&slider, QPoint(167, 9), QEvent::MouseButtonRelease);
    EXPECT_FALSE(slider.isSliderDown());
    EXPECT_EQ(slider.value(), 80);
    EXPECT_EQ(released, 1);

    slider.SetBuffer(140);
    EXPECT_EQ(slider.Buffer(), 100);
    slider.SetBuffer(-5);
    EXPECT_EQ(slider.Buffer(), -1);

    CSkinSlider volume; // taller than wide: runs bottom to top
    volume.SetSkinName("volume");
    volume.resize(18, 112); // 12-pixel thumb: 100 of travel
    EXPECT_EQ(volume.ValueAt(QPoint(9, 106)), 0);
    EXPECT_EQ(volume.ValueAt(QPoint(9, 6)), 100);
}

TEST(SkinControls, DigitsAndPicturesDraw)
{
    StartSkin(SkinFolder(), 0);
    CSkinNumText time;
    time.SetSkinName("num.bmp");
    time.resize(48, 14);
    time.SetText("-03:25");
    const QImage drawn = time.grab().toImage();
    int inked = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) inked += qGray(drawn.pixel(x, y)) < 200;
    EXPECT_GT(inked, 20);

    CSkinPicture cover;
    cover.SetSkinName("logo.bmp");
    cover.resize(200, 200);
    const QImage placeholder = cover.grab().toImage();
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    cover.SetImage(red);
    const QImage shown = cover.grab().toImage();
    EXPECT_EQ(shown.pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_NE(placeholder.pixel(100, 100), qRgb(255, 0, 0));
    cover.SetImage(QImage());
    EXPECT_EQ(cover.grab().toImage().pixel(100, 100), placeholder.pixel(100, 100));
}
