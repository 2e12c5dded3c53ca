// The document container of the embedded word processor, through which thumbnails are drawn.
#pragma once

namespace wordproc {

// Makes wordlink::CreateOleContainer serve containers that load documents with this word
// processor and paint their first page.
void RegisterDocumentContainer();

}  // namespace wordproc
