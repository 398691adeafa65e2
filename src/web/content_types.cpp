#include "web/content_types.h"

#include "server/text.h"

namespace vidoria {

const std::vector<std::string>& DefaultContentTypeLines() {
  static const std::vector<std::string> kLines = {
      "c,pas,asc,txt,ini = text/plain",
      "html,htm = text/html",
      "ics,ifb = text/calendar",
      "css = text/css",
      "rtx,rtf = text/richtext",
      "mp4 = video/mp4",
      "bmp = image/bmp",
      "gif = image/gif",
      "jpeg,jpg,jpe = image/jpeg",
      "png = image/png",
      "svg = image/svg+xml",
      "tiff,tif = image/tiff",
      "qtif,qti = image/x-quicktime",
      "ppm = image/x-portable-pixmap",
      "xbm = image/x-xbitmap",
      "svg, svgz = image/svg+xml",
      "mpeg,mpg,mpe = video/mpeg",
      "mng = video/x-mng",
      "mov,qt = video/quicktime",
      "asf,asx = video/x-ms-asf",
      "wm = video/x-ms-wm",
      "wmv = video/x-ms-wmv",
      "wvx = video/x-ms-wvx",
      "mp3 = audio/mpeg",
      "wma = audio/x-ms-wma",
      "wax = audio/x-ms-wax",
      "au,snd = audio/basic",
      "rpm = audio/x-pn-realaudio-plugin",
      "rm = application/octet-stream",
      "swf = application/x-shockwave-flash",
      "spl = application/futuresplash",
      "dir,dxr,dcr = application/x-director",
      "js = application/x-javascript",
      "xml,xsl = application/xml",
      "xhtml,xht = application/xhtml+xml",
      "xslt = application/xslt+xml",
      "pdf = application/pdf",
      "zip = application/zip",
      "gz = application/gzip",
      "jar = application/java-archive",
      "bin,dms,lha,lzh,exe,class,so,dll = application/octet-stream",
      "hqx = application/mac-binhex40",
      "mathml = application/mathml+xml",
      "p7s = application/pkcs7-signature",
      "ai,eps,ps = application/postscript",
      "rdf = application/rdf+xml",
      "xul = application/vnd.mozilla.xul+xml",
      "xpi = application/x-xpinstall",
      "mtx = application/x-mtx",
      "rpj = application/vnd.rn-realplayer-javascript",
      // The subtitles beside a video, which TVs fetch with it.
      "srt = text/srt",
      "* =",
  };
  return kLines;
}

void ContentTypes::Add(std::string_view line) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  std::string_view extensions = TrimControl(line.substr(0, equals));
  const std::string type(TrimControl(line.substr(equals + 1)));
  while (!extensions.empty()) {
    const size_t comma = extensions.find(',');
    std::string key = UpperCase(TrimControl(extensions.substr(0, comma)));
    extensions = comma == std::string_view::npos ? std::string_view()
                                                 : TrimControl(extensions.substr(comma + 1));
    if (key.empty()) continue;
    if (key != "*" && key.front() != '.') key = "." + key;
    if (!Find(key)) entries_.emplace_back(std::move(key), type);
  }
}

const std::string* ContentTypes::Find(std::string_view key) const {
  for (const auto& [k, type] : entries_) {
    if (EqualsIgnoreCase(k, key)) return &type;
  }
  return nullptr;
}

std::string ContentTypes::For(std::string_view fileName) const {
  std::string extension;
  const size_t dot = fileName.rfind('.');
  if (dot != std::string_view::npos &&
      fileName.find_first_of("/\\:", dot) == std::string_view::npos) {
    extension = UpperCase(fileName.substr(dot));
  }
  if (!extension.empty()) {
    if (const std::string* type = Find(extension)) return *type;
  }
  const std::string* fallback = Find("*");
  return fallback ? *fallback : std::string();
}

}  // namespace vidoria
