// The analysis pages driven as a user drives them.

#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <filesystem>

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
    auto *values = fixture.find<QTableWidget>("TABLE_CURRENT_VALUES", "PAGE_METADATA");
    EXPECT_FALSE(fixture.find<QLabel>("TEXT_ADD_FIRST", "PAGE_METADATA")->isVisible());
    EXPECT_EQ(header->model()->rowCount(), 16384 / 16);

    ClickCell(header, 2, 49);  // a spacer before the characters: the row's last byte
    EXPECT_EQ(values->item(0, 1)->text(), "47");
    ClickCell(header, 0, 59);  // a character cell
    EXPECT_EQ(values->item(0, 1)->text(), "5");

    values->item(0, 1)->setText("17");
    fixture.settle();
    EXPECT_EQ(header->currentIndex(), header->model()->index(1, 3));
    values->item(0, 1)->setText("not a number");
    fixture.settle();
    EXPECT_EQ(values->item(0, 1)->text(), "17");  // refused: the marker's position again
}
