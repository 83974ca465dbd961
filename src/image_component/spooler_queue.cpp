// Submits to the system's print spooler (Windows): the PDF the program wrote goes to the
// printer as it is, in one job. The document is written completely before anything is
// sent, so a document that cannot be written never reaches the printer. The spooler takes
// no job options; paper and orientation are in the PDF itself.
#include "image_component/print_queue.h"

#include "base/error.h"
#include "platform/print_spooler.h"

#include <QBuffer>

namespace velmar::image_component {

void submitPdf(const QueueJob& job, const std::function<void(QIODevice&)>& writeDocument) {
    QByteArray document;
    QBuffer buffer(&document);
    if (!buffer.open(QIODevice::WriteOnly)) {
        throw Error(QStringLiteral("印刷ﾃﾞｰﾀを作成できません"));
    }
    writeDocument(buffer);
    buffer.close();
    platform::spoolRawDocument(job.queue, job.title, document);
}

}  // namespace velmar::image_component
