# Adds the view settings that name the active table to an .ods written by a headless
# LibreOffice (which leaves them out): python3 ods_set_active.py in.ods out.ods "Table name"
import sys, zipfile
src, dst, table = sys.argv[1], sys.argv[2], sys.argv[3]
views = ('<config:config-item-map-indexed config:name="Views"><config:config-item-map-entry>'
         '<config:config-item config:name="ViewId" config:type="string">view1</config:config-item>'
         '<config:config-item config:name="ActiveTable" config:type="string">%s</config:config-item>'
         '</config:config-item-map-entry></config:config-item-map-indexed>' % table)
with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w') as zout:
    for item in zin.infolist():
        data = zin.read(item.filename)
        if item.filename == 'settings.xml':
            marker = b'<config:config-item-set config:name="ooo:view-settings">'
            data = data.replace(marker, marker + views.encode('utf-8'), 1)
        zout.writestr(item, data)
