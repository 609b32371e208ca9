// Parses a small catalogue, queries it with XPath and writes it back out.
package bench.xml;

import java.io.ByteArrayInputStream;
import java.io.StringWriter;
import java.nio.charset.StandardCharsets;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.transform.OutputKeys;
import javax.xml.transform.TransformerFactory;
import javax.xml.transform.dom.DOMSource;
import javax.xml.transform.stream.StreamResult;
import javax.xml.xpath.XPathConstants;
import javax.xml.xpath.XPathFactory;
import org.w3c.dom.Document;
import org.w3c.dom.NodeList;

public final class Catalog {
    static final String XML = "<catalog><item id='a' price='3.5'>Anchor</item><item id='b' price='12'>Buoy</item>"
            + "<item id='c' price='0.75'>Cleat</item></catalog>";

    public static String summary() throws Exception {
        Document doc = DocumentBuilderFactory.newInstance().newDocumentBuilder()
                .parse(new ByteArrayInputStream(XML.getBytes(StandardCharsets.UTF_8)));
        NodeList items = (NodeList) XPathFactory.newInstance().newXPath()
                .evaluate("/catalog/item[@price > 1]", doc, XPathConstants.NODESET);
        StringWriter out = new StringWriter();
        var transformer = TransformerFactory.newInstance().newTransformer();
        transformer.setOutputProperty(OutputKeys.INDENT, "yes");
        transformer.transform(new DOMSource(doc), new StreamResult(out));
        return "xml: " + items.getLength() + " items over 1, " + out.toString().length() + " characters written";
    }
}
