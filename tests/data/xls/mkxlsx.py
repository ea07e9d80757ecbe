import zipfile, sys, html
# rows: list of (value, fmtcode or None); value float, str, bool
def col(i):
    s=''
    i+=1
    while i: i,r=divmod(i-1,26); s=chr(65+r)+s
    return s
def make(path, sheets, active=0, date1904=False):
    # sheets: list of (name, rows) rows: list of list of cells; cell=(value, fmt) or None
    fmts={}
    xfs=[0]
    xfmap={}
    sst=[]
    def style(fmt):
        if fmt is None: return 0
        if isinstance(fmt,int): fid=fmt
        else:
            if fmt not in fmts: fmts[fmt]=164+len(fmts)
            fid=fmts[fmt]
        if fid not in xfmap:
            xfmap[fid]=len(xfs); xfs.append(fid)
        return xfmap[fid]
    sheetxml=[]
    for si,(name, rows) in enumerate(sheets):
        view='<sheetViews><sheetView %sworkbookViewId="0"/></sheetViews>'%('tabSelected="1" ' if si==active else '')
        out=['<?xml version="1.0" encoding="UTF-8" standalone="yes"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'+view+'<sheetData>']
        for r,row in enumerate(rows):
            out.append('<row r="%d">'%(r+1))
            for c,cell in enumerate(row):
                if cell is None: continue
                v,f=cell if isinstance(cell,tuple) else (cell,None)
                s=style(f); ref=col(c)+str(r+1)
                if isinstance(v,bool): out.append('<c r="%s" s="%d" t="b"><v>%d</v></c>'%(ref,s,v))
                elif isinstance(v,(int,float)): out.append('<c r="%s" s="%d"><v>%r</v></c>'%(ref,s,float(v)))
                elif isinstance(v,str) and v.startswith('='): out.append('<c r="%s" s="%d"><f>%s</f></c>'%(ref,s,html.escape(v[1:])))
                else:
                    sst.append(v); out.append('<c r="%s" s="%d" t="s"><v>%d</v></c>'%(ref,s,len(sst)-1))
            out.append('</row>')
        out.append('</sheetData></worksheet>')
        sheetxml.append(''.join(out))
    z=zipfile.ZipFile(path,'w',zipfile.ZIP_DEFLATED)
    ct='<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    for i in range(len(sheets)): ct+='<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'%(i+1)
    ct+='<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>'
    z.writestr('[Content_Types].xml',ct)
    z.writestr('_rels/.rels','<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    wb='<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr date1904="%s"/><bookViews><workbookView activeTab="%d"/></bookViews><sheets>'%('true' if date1904 else 'false',active)
    rels='<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    for i,(name,_) in enumerate(sheets):
        wb+='<sheet name="%s" sheetId="%d" r:id="rId%d"/>'%(html.escape(name),i+1,i+1)
        rels+='<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet%d.xml"/>'%(i+1,i+1)
    n=len(sheets)
    rels+='<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/><Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>'%(n+1,n+2)
    wb+='</sheets></workbook>'
    z.writestr('xl/workbook.xml',wb); z.writestr('xl/_rels/workbook.xml.rels',rels)
    for i,x in enumerate(sheetxml): z.writestr('xl/worksheets/sheet%d.xml'%(i+1),x)
    st='<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts count="%d">'%len(fmts)
    for f,i in fmts.items(): st+='<numFmt numFmtId="%d" formatCode="%s"/>'%(i,html.escape(f,quote=True))
    st+='</numFmts><fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts><fills count="1"><fill><patternFill patternType="none"/></fill></fills><borders count="1"><border/></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs count="%d">'%len(xfs)
    for fid in xfs: st+='<xf numFmtId="%d" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'%fid
    st+='</cellXfs></styleSheet>'
    z.writestr('xl/styles.xml',st)
    ss='<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">'%(len(sst),len(sst))
    for s in sst: ss+='<si><t xml:space="preserve">%s</t></si>'%html.escape(s)
    ss+='</sst>'
    z.writestr('xl/sharedStrings.xml',ss)
    z.close()
