#include "fuzzchecks.h"

namespace FuzzChecks {

QVector<Reader> readers()
{
    return {{"calibration", &calibration},
            {"meta", &meta},
            {"overlay", &overlay, nullptr, &describeOverlay},
            {"mapping", &mapping},
            {"registry", &registry},
            {"scenario", &scenario},
            {"actioncatalog", &actionCatalog},
            {"exchangedocument", &exchangeDocument, &exchangeSeed, &describeDocument},
            {"definitionfolder", &definitionFolder, nullptr, &describeFolder},
            {"editorsequence", &editorSequence, nullptr, nullptr}};
}

} // namespace FuzzChecks
