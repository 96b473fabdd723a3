// The window app on a screen of two pixels a point: every picture a screen
// draws, of our own drawings, a song's cover or a control's icon, comes with
// the pixels the screen has for it, never a smaller bitmap blown up.

#include "platform/library/MediaPickerController.h"
#include "tests/e2e/Flows.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <climits>

using testsupport::processEventsUntil;

namespace {

// Qt reads the factor once, when the application starts, before main() has
// begun the tests.
[[maybe_unused]] const bool kTwoPixelsAPoint = qputenv("QT_SCALE_FACTOR", "2");

// A paint device of `size` points at `ratio` pixels a point that notes, of all
// that is painted on it, where each bitmap went and how many pixels it had.
class BitmapRecorder : public QPaintDevice {
public:
    struct Draw {
        QRectF target;  // in the device's pixels
        QSizeF source;  // the bitmap's pixels drawn there
    };

    BitmapRecorder(QSize size, qreal ratio) : size_(size), ratio_(ratio) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    const std::vector<Draw>& draws() const { return engine_.draws; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return int(size_.width() * ratio_);
        case PdmHeight: return int(size_.height() * ratio_);
        case PdmWidthMM: return size_.width() * 254 / 960;
        case PdmHeightMM: return size_.height() * 254 / 960;
        case PdmNumColors: return INT_MAX;
        case PdmDepth: return 32;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return int(ratio_);
        case PdmDevicePixelRatioScaled: return int(ratio_ * devicePixelRatioFScale());
        }
        return 0;
    }

private:
    // Takes every feature, so that the painter hands over bitmaps as they
    // are, and draws nothing.
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return User; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF& r, const QPixmap&, const QRectF& sr) override { note(r, sr.size()); }
        void drawImage(const QRectF& r, const QImage&, const QRectF& sr, Qt::ImageConversionFlags) override
        {
            note(r, sr.size());
        }
        void drawTiledPixmap(const QRectF& r, const QPixmap& pm, const QPointF&) override
        {
            note(QRectF(r.topLeft(), pm.deviceIndependentSize()), pm.size());
        }
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem&) override {}

        std::vector<Draw> draws;

    private:
        void note(const QRectF& r, QSizeF source) { draws.push_back({painter()->deviceTransform().mapRect(r), source}); }
    };

    QSize size_;
    qreal ratio_;
    mutable Engine engine_;
};

class HighDensity : public e2e::Flows {
protected:
    // Two songs with covers and one without any tag, whose screens show our
    // own picture in place of a cover.
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        songgen::Options options;
        options.songs = 2;
        options.seconds = 0.2;
        options.formats = {songgen::Format::Mp3Cbr};
        library_ = new testsupport::GeneratedLibrary(options);
        ASSERT_TRUE(library_->error().isEmpty()) << library_->error().toStdString();
        // The first song's audio alone: its ID3v2 tag (ten bytes and a
        // synchsafe size) and its ID3v1 tag (the last 128 bytes) cut off.
        QByteArray bytes = testsupport::readFile(song(0).path);
        ASSERT_TRUE(bytes.startsWith("ID3"));
        const auto b = [&](int i) { return int(quint8(bytes[i])); };
        bytes.remove(0, 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)));
        if (bytes.size() > 128 && bytes.mid(bytes.size() - 128, 3) == "TAG")
            bytes.chop(128);
        ASSERT_TRUE(testsupport::writeFile(library_->file("Bare.mp3"), bytes));
    }

    // What the window shows now, at rest: every bitmap drawn with at least
    // one of its pixels for each pixel of the screen it covers. Returns how
    // many bitmaps there were.
    int expectSharp(const char* screen)
    {
        SCOPED_TRACE(screen);
        processEventsUntil([&] { return still(); });
        const qreal ratio = window()->devicePixelRatioF();
        shoot(screen);
        BitmapRecorder recorder(window()->size(), ratio);
        window()->render(&recorder);
        for (const BitmapRecorder::Draw& d : recorder.draws()) {
            const QPoint at = (d.target.center() / ratio).toPoint();
            QWidget* w = window()->childAt(at);
            EXPECT_TRUE(d.source.width() >= d.target.width() - 1 && d.source.height() >= d.target.height() - 1)
                << d.source.width() << "x" << d.source.height() << " pixels blown up to " << d.target.width() << "x"
                << d.target.height() << " at " << at.x() << "," << at.y() << " in "
                << (w ? w->metaObject()->className() : "the window") << " "
                << (w ? w->objectName().toStdString() : std::string());
        }
        // A label with scaled contents scales its picture itself, before it is drawn.
        for (QLabel* label : window()->findChildren<QLabel*>()) {
            if (label->isVisible() && label->hasScaledContents() && !label->pixmap().isNull()) {
                EXPECT_GE(label->pixmap().width(), label->contentsRect().width() * ratio)
                    << label->objectName().toStdString();
            }
        }
        return int(recorder.draws().size());
    }
};

TEST_P(HighDensity, EveryScreenDrawsItsPicturesAtTheScreensDensity)
{
    ASSERT_EQ(window()->devicePixelRatioF(), 2.0);
    expectSharp("main");

    // The picker, its thumbnails in: the covers and our picture for the bare song.
    ASSERT_TRUE(press(t().selectSongs));
    ASSERT_TRUE(processEventsUntil([&] {
        auto* picker = qobject_cast<medialibrary::MediaPickerController*>(delegate_->ctrl()->modalViewController());
        return picker && pickerList() && pickerList()->model()->rowCount() == 3 && still() && !picker->isLoadingArtwork();
    }));
    EXPECT_GE(expectSharp("picker"), 3);
    ASSERT_TRUE(press(t().cancel));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));

    ASSERT_TRUE(pick({"Bare"}));
    EXPECT_GE(expectSharp("main-no-cover"), 2) << "our picture and the file manager's icon";
    ASSERT_TRUE(pick({song(1).title}));
    EXPECT_GE(expectSharp("main-cover"), 2) << "the cover and the file manager's icon";

    // Converted: the cover, the mark of success and the menu.
    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(runEnds());
    EXPECT_GE(expectSharp("conversion"), 2);

    // The browser: a folder row, then the song's row with its mail button,
    // in editing mode too; then the mail composer with its two pictures.
    ASSERT_TRUE(press(t().fileManager));
    ASSERT_TRUE(processEventsUntil([&] { return row(song(1).artist) != nullptr && tableSettled(); }));
    EXPECT_GE(expectSharp("files"), 1);
    ASSERT_TRUE(enter({song(1).artist, song(1).album}));
    ui::TableViewCell* songRow = nullptr;
    ASSERT_TRUE(processEventsUntil([&] {
        for (ui::TableViewCell* cell : table()->visibleCells())
            if (cell->isVisible() && cell->accessoryView())
                songRow = cell;
        return songRow && tableSettled();
    }));
    EXPECT_GE(expectSharp("files-song"), 3) << "folder, file and mail pictures";
    ASSERT_TRUE(press(t().edit));
    expectSharp("files-editing");
    ASSERT_TRUE(press(t().edit)); // and out of editing mode
    ASSERT_TRUE(processEventsUntil([&] { return songRow->accessoryView()->isVisible() && tableSettled(); }));
    e2e::click(songRow->accessoryView());
    ASSERT_TRUE(processEventsUntil([&] {
        auto* attachment = window()->findChild<QLabel*>("attachmentNameLabel");
        return attachment && attachment->isVisible() && button(t().cancel);
    }));
    expectSharp("mail-composer");
    ASSERT_TRUE(press(t().cancel));
}

// At two pixels a point, every screen lays out inside the window as well,
// at a desktop's size and at the phone's.
TEST_P(HighDensity, EveryScreenFitsTheWindowAtEverySize)
{
    ASSERT_EQ(window()->devicePixelRatioF(), 2.0);
    walkEveryScreenAtEverySize();
}

INSTANTIATE_TEST_SUITE_P(English, HighDensity, ::testing::Values("en"),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

} // namespace

namespace e2e {
testsupport::GeneratedLibrary* Flows::library_ = nullptr;
} // namespace e2e
