#include "qnlog/csvlogsink.h"

#include "common/cp932.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qn;
using namespace qn::logsvc;

namespace {

Reading qn110Reading(int second)
{
    Reading r;
    r.model = Model::QN110;
    r.unitId = 1;
    r.unit = {"QN-110", 1, "192.0.2.10", 10001};
    r.time = std::chrono::system_clock::time_point(std::chrono::seconds(1796605200 + second));
    r.channels = {{"1", 1.5, "1.5000", "V", 4915}, {"出力2", 4.0, "4.000", "mA", 6553}};
    r.digitalInputs = {{"1", true}, {"2", false}, {"扉", true}};
    return r;
}

TEST(CsvLogSink, AFolderThatComesLaterGetsTheRowsFromThenOnAfterAHeader)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("later");
    CsvLogSink sink({folder, 0, QLocale::c()});
    sink.take(qn110Reading(0)); // no folder: the row is lost, and said so once
    ASSERT_TRUE(QDir().mkdir(folder));
    sink.take(qn110Reading(1));
    sink.take(qn110Reading(2));
    sink.close();

    QFile file(folder + "/QN-110_1_192.0.2.10.csv");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two rows, the empty piece after the last LF
    EXPECT_EQ(fromCp932(lines[0]), "日付,時刻,DI1,DI2,扉,AO1,単位1,出力2,単位2");
    EXPECT_TRUE(lines[1].endsWith(",1,0,1,1.5000,V,4.000,mA"));
    EXPECT_TRUE(lines[2].endsWith(",1,0,1,1.5000,V,4.000,mA"));
    EXPECT_TRUE(lines[3].isEmpty());
}

} // namespace
