#include "press/pdf_language.h"

#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

namespace sheetora::press {

std::string WithDocumentLanguage(std::string_view pdf, std::string_view tag) {
  QPDF document;
  document.processMemoryFile("drawn document", pdf.data(), pdf.size());
  document.getRoot().replaceKey("/Lang", QPDFObjectHandle::newString(std::string(tag)));
  QPDFWriter writer(document);
  writer.setOutputMemory();
  writer.setDecodeLevel(qpdf_dl_none);
  writer.write();
  const std::shared_ptr<Buffer> bytes = writer.getBufferSharedPointer();
  return {reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize()};
}

}  // namespace sheetora::press
