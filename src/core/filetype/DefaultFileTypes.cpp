#include "core/filetype/DefaultFileTypes.h"

#include "core/model/SearcherTypes.h"

// The lists cover what users look for, including every carved type that has
// a clear category (so carved files land in it).

std::map<int, std::string> DefaultFileTypeLists() {
  return {
      {kFilterDocument,
       // Office formats, old and new, and their templates.
       "doc;docx;docm;dot;dotx;dotm;xls;xlsx;xlsm;xlsb;xlt;xltx;xltm;ppt;pptx;pptm;pps;ppsx;pot;potx;"
       // OpenDocument, iWork, other word processors and publishing.
       "odt;ods;odp;odg;odf;fodt;fods;fodp;pages;numbers;key;rtf;wpd;wps;wks;wri;pub;indd;iba;"
       // Text, markup and data.
       "txt;text;md;csv;tsv;tex;log;htm;html;xhtml;mht;mhtml;xml;json;"
       // Fixed-layout and e-books.
       "pdf;xps;oxps;ps;epub;mobi;azw;azw3;djvu;chm;hlp;"
       // Databases, project, diagram, notes and finance files.
       "mdb;accdb;adp;mpp;vsd;vsdx;one;qpw;shw;mny;qdf;tax;"
       // Drawings (CAD) and scores.
       "dwg;dxf;sib;mus"},
      {kFilterPicture,
       "jpg;jpeg;jpe;jfif;png;gif;bmp;dib;tif;tiff;webp;heic;heif;avif;jp2;j2k;jxl;tga;pcx;"
       "ico;icns;cur;ani;psd;psb;psp;pspimage;xcf;svg;svgz;ai;eps;cdr;cmx;cpt;wmf;emf;wpg;fh11;sketch;"
       "exr;hdr;"
       // Camera raw.
       "raw;dng;cr2;cr3;crw;nef;nrw;arw;sr2;srf;raf;rw2;orf;pef;ptx;srw;x3f;dcr;kdc;3fr;erf;mef;mrw;mdc"},
      {kFilterMovie,
       "mp4;m4v;mov;qt;avi;wmv;asf;flv;f4v;swf;mkv;webm;mpg;mpeg;mpe;m2v;m1v;vob;ts;mts;m2ts;"
       "3gp;3g2;rm;rmvb;ogv;divx;dv;mxf;aaf;mlv;mod;tod;fcpevent;aep"},
      {kFilterMusic,
       "mp3;m4a;m4b;m4p;aac;wav;wave;aif;aiff;aifc;flac;alac;ogg;oga;opus;wma;ape;mid;midi;kar;"
       "au;snd;ra;amr;ac3;dts;mka;caf;gsm;voc;wv;mpc;tta"},
      {kFilterArchive,
       "zip;zipx;rar;7z;tar;gz;tgz;bz2;tbz;tbz2;xz;txz;lz;lzma;zst;z;lzh;lha;cab;arj;ace;sit;sitx;"
       "cpio;rpm;deb;jar;war;apk;ipa;xar;pkg;dmg;iso"},
      {kFilterEmail, "eml;emlx;msg;pst;ost;dbx;mbox;mbx;olm;nsf;tbb;wab;vcf"},
  };
}
