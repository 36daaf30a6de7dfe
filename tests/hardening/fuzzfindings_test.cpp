// Inputs the fuzzers found, replayed through the path that failed on them. Each file in
// data/ is named after what it reproduces.
#include "hardeningfixture.h"

#include <QFile>

namespace quiltana {
namespace {

class FuzzFindings : public test::HardeningTest {
protected:
    QString fixture(const char *name)
    {
        const QString target = pictureDir_.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(QFile::copy(QStringLiteral(QUILTANA_TEST_DATA_DIR "/") + QString::fromLatin1(name), target));
        return target;
    }
};

// Converting several cells first estimates from each header how much memory its decoding
// holds; headers declaring sides near 2^31 (BMP) or 2^32 (PNG) overflowed that estimate.
TEST_F(FuzzFindings, HeaderSizesNearTheIntegerLimitsDoNotOverflowTheConversionPlan)
{
    for (const char *name : {"bmp-header-size-overflow.bmp", "png-header-size-overflow.png"}) {
        SCOPED_TRACE(name);
        run.document = Document{};
        const QString path = fixture(name);
        const QString good = picture(QStringLiteral("good.png"));
        run.document.cells[0].picturePath = path;
        run.document.cells[1].picturePath = good;
        const QStringList errors = MakeWorkCopies(run.document, run.workFolder, 0, 1, 2);
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith(path + QStringLiteral(": "))) << errors[0].toStdString();
        EXPECT_EQ(run.document.cell(0).picturePath, path);
        EXPECT_TRUE(hasWorkCopy(1, good));
    }
}

} // namespace
} // namespace quiltana
