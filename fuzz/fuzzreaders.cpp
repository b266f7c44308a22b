#include "fuzzchecks.h"

namespace FuzzChecks {

QVector<Reader> readers()
{
    return {{"calibration", &calibration},
            {"meta", &meta},
            {"overlay", &overlay},
            {"mapping", &mapping},
            {"registry", &registry},
            {"scenario", &scenario},
            {"actioncatalog", &actionCatalog},
            {"exchangedocument", &exchangeDocument, &exchangeSeed},
            {"definitionfolder", &definitionFolder}};
}

} // namespace FuzzChecks
