// The analysis pages driven as a user drives them.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <filesystem>

#include "gui/iqpage.h"
#include "gui/metadatapage.h"
#include "gui/signalprocessingpage.h"
#include "gui/plotwidget.h"
#include "guitest.h"

namespace {

const std::string kExamples = QUELVOR_SOURCE_DIR "/examples";

// The example configuration with the example file as job 1, on the page `page`.
struct ExampleFixture : WindowFixture {
    explicit ExampleFixture(int page)
        : WindowFixture([](const std::string &dir) {
              std::filesystem::copy_file(kExamples + "/tone16.pnx", dir + "/tone16.pnx");
          })
    {
        window->addFiles({QString::fromStdString(kExamples + "/tone16.bin")});
        find<QTabWidget>("TAB")->setCurrentIndex(page);
        settle();
    }
};

void ClickCell(QTableView *view, int row, int column)
{
    const QModelIndex cell = view->model()->index(row, column);
    view->scrollTo(cell);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
    WindowFixture::settle();
}

}  // namespace

TEST(MetadataPage, ClickedAndTypedPositionsMoveTheMarkers)
{
    ExampleFixture fixture(1);
    auto *header = fixture.find<QTableView>("TABLE_HEADER", "PAGE_METADATA");
    QAbstractItemModel *values = fixture.find<QTableView>("TABLE_CURRENT_VALUES", "PAGE_METADATA")->model();
    const QModelIndex headerPosition = values->index(0, 1);
    EXPECT_FALSE(fixture.find<QLabel>("TEXT_ADD_FIRST", "PAGE_METADATA")->isVisible());
    EXPECT_EQ(header->model()->rowCount(), 16384 / 16);

    ClickCell(header, 2, 49);  // a spacer before the characters: the row's last byte
    EXPECT_EQ(headerPosition.data().toString(), "47");
    ClickCell(header, 0, 59);  // a character cell
    EXPECT_EQ(headerPosition.data().toString(), "5");

    EXPECT_TRUE(values->setData(headerPosition, "17"));
    fixture.settle();
    EXPECT_EQ(header->currentIndex(), header->model()->index(1, 3));
    EXPECT_FALSE(values->setData(headerPosition, "not a number"));
    fixture.settle();
    EXPECT_EQ(headerPosition.data().toString(), "17");  // refused: the marker's position again
    EXPECT_FALSE(values->flags(values->index(2, 1)) & Qt::ItemIsEditable);  // a length is shown only
}

TEST(IqPage, WindowLengthCursorShowBoxesAndTextLayout)
{
    ExampleFixture fixture(2);
    Session &session = fixture.session;
    auto *slider = fixture.find<QSlider>("NUMERICSLIDE_POSITION", "PAGE_IQ");
    auto *samples = fixture.find<QComboBox>("RING_SAMPLES", "PAGE_IQ");
    const int longWindowMaximum = slider->maximum();
    samples->setCurrentIndex(samples->findData(64));
    emit samples->activated(samples->currentIndex());
    fixture.settle();
    EXPECT_EQ(session.previewLength, 64);
    EXPECT_EQ(slider->maximum() - longWindowMaximum, 1024 - 64);  // one position per set more

    // The interval cursor dragged to set 10 of the window: "First Sample" 10, unsaved.
    auto *graph = fixture.find<PlotWidget>("GRAPH", "PAGE_IQ");
    const int y = graph->plotRect().center().y();
    const int from = graph->pixelAt(session.views.iq.intervalCursor.x);
    QTest::mousePress(graph, Qt::LeftButton, {}, QPoint(from, y));
    QTest::mouseMove(graph, QPoint(graph->pixelAt(9.2), y));
    QTest::mouseRelease(graph, Qt::LeftButton, {}, QPoint(graph->pixelAt(9.2), y));
    fixture.settle();
    EXPECT_EQ(session.tree.items[kItemFirstSample].value, "10");
    EXPECT_EQ(session.configurations.unsaved, 1);
    EXPECT_EQ(session.views.iq.intervalCursor.x, 9.0);

    // The keyboard does the same: the graph takes the focus, Right moves the cursor a sample.
    graph->setFocus();
    QTest::keyClick(graph, Qt::Key_Right);
    fixture.settle();
    EXPECT_EQ(session.tree.items[kItemFirstSample].value, "11");

    QTest::mouseClick(fixture.find<QCheckBox>("CHECKBOX_SHOWQ", "PAGE_IQ"), Qt::LeftButton);
    EXPECT_FALSE(session.views.iq.preview.traces[kSlotQ].visible);

    auto *seam = fixture.find<QWidget>("GRAPH_EOL", "PAGE_IQ");
    const int previewHeight = graph->height();
    EXPECT_TRUE(seam->isVisible());
    testsupport::Edit(session, "format", "Text Integer");
    fixture.settle();
    EXPECT_FALSE(seam->isVisible());
    EXPECT_FALSE(slider->isVisible());
    EXPECT_TRUE(fixture.find<QWidget>("BUTTON_AUTO_ADJUST", "PAGE_IQ")->isVisible());
    EXPECT_GT(graph->height(), previewHeight);
}

TEST(IqPage, SliderReachesEverySetOfAFileLongerThanAnInt)
{
    for (int64_t position : {1, 2, 500, 1000}) {
        EXPECT_EQ(SliderValue(position, 1000), position - 1);
        EXPECT_EQ(SliderPosition(SliderValue(position, 1000), 1000), position);
    }
    const int64_t sets = int64_t{6} << 30;  // a 6 GB file of one-byte sets
    EXPECT_EQ(SliderValue(1, sets), 0);
    EXPECT_EQ(SliderPosition(SliderValue(sets, sets), sets), sets);
    const int64_t step = (sets - 1) / (int64_t{1} << 30) + 1;
    for (int64_t position : {int64_t{2}, sets / 3, sets - 7})
        EXPECT_LE(std::abs(SliderPosition(SliderValue(position, sets), sets) - position), step);
}

// A file of 2^30 + 1 sets (sparse), more than one output file holds: the page shows the interval
// that will be converted, and it follows the filter's rate change.
TEST(IqPage, IntervalEndsWhereTheOutputFileIsFull)
{
    testsupport::TempDir data;
    testsupport::MakeSparseFile(data.file("huge.bin"), (int64_t{1} << 32) + 4);
    WindowFixture fixture;
    for (const char *length : {"header", "trailer"}) {
        testsupport::Edit(fixture.session, std::string(length) + "Source", "User");
        testsupport::Edit(fixture.session, std::string(length) + "Value", "0");
    }
    fixture.window->addFiles({QString::fromStdString(data.file("huge.bin"))});
    fixture.find<QTabWidget>("TAB")->setCurrentIndex(2);
    fixture.settle();
    auto *interval = fixture.find<QLineEdit>("NUMERIC_INTERVAL", "PAGE_IQ");
    EXPECT_EQ(interval->text(), "536870911");
    testsupport::Edit(fixture.session, "filterType", "Blackman Window");
    testsupport::Edit(fixture.session, "outputSamplerate", "Input Samplerate x 5/10");
    fixture.settle();
    EXPECT_EQ(interval->text(), "1073741823");  // half the rate: twice the pairs, less one
}
