-- The lower bound of an export: one statement that builds the 50 and 54
-- lines of the volume company (company 90, January 2026) from the fiscal
-- tables with printf, in the file's order. export_bench runs it with sqlite3
-- on the same database as the export and compares its lines with the 50 and
-- 54 lines of the exported file.
SELECT line FROM (
  SELECT 1 AS grp, n.DTDOCUMENTO AS k1, CAST(n.NRNOTA AS INTEGER) % 1000000 AS k2, n.NRSEQNOTA AS k3,
         i.CDCFOP || printf('%04d', i.VRALIQICMS) AS k4,
         printf('50%014d%-14s%s%-2s%02d%-3s%06d%04d%s%013d%013d%013d%013d%013d%04d%s',
                CAST(n.NRCNPJPART AS INTEGER), n.CDINSCPART, REPLACE(n.DTDOCUMENTO, '-', ''), n.SGESTADOPART,
                CAST(n.CDMODELO AS INTEGER), n.CDSERIE, CAST(n.NRNOTA AS INTEGER) % 1000000,
                CAST(i.CDCFOP AS INTEGER), n.IDEMITENTE,
                SUM(i.VRPRODUTO - i.VRDESCONTO + i.VRIPI + i.VRICMSST) + n.VRFRETE + n.VRSEGURO + n.VRDESPESAS,
                SUM(i.VRBASEICMS), SUM(i.VRICMS), SUM(i.VRISENTAS), SUM(i.VROUTRAS), i.VRALIQICMS,
                n.IDSITUACAO) AS line
    FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA
   WHERE n.CDEMPRESA = '90' AND n.CDINSCESTA = '900000009008'
     AND n.DTDOCUMENTO BETWEEN '2026-01-01' AND '2026-01-31' AND n.CDMODELO IN ('01', '04', '06', '21', '22', '55')
   GROUP BY n.NRSEQNOTA, i.CDCFOP, i.VRALIQICMS
  UNION ALL
  SELECT 2, printf('%014d', CAST(n.NRCNPJPART AS INTEGER)), n.CDSERIE, CAST(n.NRNOTA AS INTEGER) % 1000000,
         printf('%012d%03d', n.NRSEQNOTA, i.NRITEM),
         printf('54%014d%02d%-3s%06d%04d%-3s%03d%-14s%011d%012d%012d%012d%012d%012d%04d',
                CAST(n.NRCNPJPART AS INTEGER), CAST(n.CDMODELO AS INTEGER), n.CDSERIE,
                CAST(n.NRNOTA AS INTEGER) % 1000000, CAST(i.CDCFOP AS INTEGER), i.CDCST, i.NRITEM, i.CDPRODUTO,
                i.QTITEM, i.VRPRODUTO, i.VRDESCONTO, i.VRBASEICMS, i.VRBASEST, i.VRIPI, i.VRALIQICMS)
    FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA
   WHERE n.CDEMPRESA = '90' AND n.CDINSCESTA = '900000009008'
     AND n.DTDOCUMENTO BETWEEN '2026-01-01' AND '2026-01-31' AND n.CDMODELO IN ('01', '55')
)
ORDER BY grp, k1, k2, k3, k4;
